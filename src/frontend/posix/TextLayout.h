#pragma once
// How the Terminal lays out the texts of controls: captions without their
// accelerator marks, lines cut at blanks to a width, the progress bar.

#include <string>
#include <vector>

#include "formlib/Forms.h"

// The caption as shown: "&OK" is "OK", "&&" an ampersand.
std::string StripAccelerators(const std::string& caption);
// A label shows '&' as it is; only the label of an edit marks its
// accelerator with it, as a button's caption does.
std::string LabelText(const Control& label);
// The text without its leading and trailing blanks and tabs.
std::string Trim(const std::string& s);
// The text's lines, each cut at blanks to fit `width` when `wrap`. Blanks
// inside a line are kept as written ("done.  Please wait..."); blank lines
// before and after the text are dropped.
std::vector<std::string> TextLines(const std::string& text, bool wrap, size_t width);
// "[###---...]  10%": thirty cells and the percentage, right-aligned.
std::string ProgressBar(int position);
// The lines a control shows in the page's body; none for buttons, links,
// pages and images.
std::vector<std::string> ControlLines(const Control& c, size_t width);
