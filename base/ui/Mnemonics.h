#pragma once
#include <QAbstractButton>
#include <QWidget>
#include <initializer_list>

namespace mv::ui {

// Gives every push button and check box below root that has no mnemonic yet one of its own
// (Alt+letter), so that a dialog works from the keyboard. A letter another control of the
// window already uses is not taken twice: the first letter of a word comes first, then any
// letter of the text; a text with no free letter keeps none. Radio buttons, whose choices are
// reached with the arrow keys, keep their texts, and so do the buttons in keep (a button whose
// text is data, such as a connection's title). Push buttons choose before check boxes. The
// visible texts do not change.
void AssignMnemonics(QWidget* root, std::initializer_list<const QAbstractButton*> keep = {});

}  // namespace mv::ui
