// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// The usage notes shown in the help window, one entry per line. Section
// headings are underlined with "=" (top level) or "-" (subsections) of the
// same length; paragraphs are single long lines that the window wraps.
[[nodiscard]] QStringList HelpText();
