// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>

// The file dialog whose overwrite question names the file a save will really
// replace: when the chosen name is a symbolic link, the file it leads to.
// Asked about the link's own name, a user could not tell that a link
// someone else left there points at one of their files. A name the save
// will refuse, for a link on the way that may not be followed, is not asked
// about: the save says that it cannot create the file.
class LinkAwareFileDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override;
};
