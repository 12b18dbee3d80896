#pragma once
#include <QPrinter>
#include <QTextDocument>
#include <string>

namespace mv {

// Prints the script as a job named "Mervale": one-inch margins on every side, page after page
// until the whole text is out. Returns the message to show, empty on success.
std::string PrintScript(const QTextDocument& script, QPrinter& printer);

}  // namespace mv
