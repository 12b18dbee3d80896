#pragma once
#include <QColor>
#include <QPrinter>
#include <QTextDocument>
#include <string>

namespace mv {

// Prints the script as a job named "Mervale": one-inch margins on every side, page after page
// until the whole text is out. A line longer than the page wraps onto the next printed line
// rather than being cut at the margin. shownOn is the background the script's colours were
// shown on: paper takes the light shades whatever the window's theme. Returns the message to
// show, empty on success.
std::string PrintScript(const QTextDocument& script, QPrinter& printer, const QColor& shownOn = Qt::white);

// Writes the script as a PDF file with the same pages, without any printer. The file is
// written beside its final name and moved over it only when complete, so a failed export
// leaves an earlier file as it was. Returns the message to show, empty on success.
std::string ExportScriptPdf(const QTextDocument& script, const std::string& path, const QColor& shownOn = Qt::white,
                            QPageLayout::Orientation orientation = QPageLayout::Portrait);

}  // namespace mv
