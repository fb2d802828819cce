#pragma once
// The user's guide in a window of its own: a Markdown file with its
// pictures, whose headings are link targets (the GitHub way: "## Moving
// around" is "#moving-around"), so that the guide's contents links work.

#include <QString>
#include <string>

class QTextBrowser;

namespace tarnisk {

// The link target of a heading: lower case, words joined by "-", other
// punctuation left out.
QString HeadingAnchor(const QString& heading);

// Opens a window on the guide; it deletes itself when closed.
QTextBrowser* OpenHelpWindow(const std::string& file);

}  // namespace tarnisk
