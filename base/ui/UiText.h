#pragma once
#include <QLineEdit>
#include <QString>
#include <limits>
#include <string>

namespace mv::ui {

// Core texts are bytes, shown as UTF-8.
inline QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string S(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}
// The text of a field written back: the original bytes when the user left the field as it was
// shown, so text that is not UTF-8 survives an edit of another field byte for byte.
inline std::string Kept(const QString& shown, const std::string& original) {
  return shown == Q(original) ? original : S(shown);
}

// A line edit for text the user types into the records: no cut at QLineEdit's default limit of
// 32767 characters.
inline QLineEdit* TextField(QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setMaxLength(std::numeric_limits<int>::max());
  return e;
}

}  // namespace mv::ui
