// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/linkawarefiledialog.h"

#include "common/savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

void LinkAwareFileDialog::accept()
{
    const QStringList files = selectedFiles();
    if (acceptMode() != AcceptSave || testOption(DontConfirmOverwrite) || files.size() != 1) {
        QFileDialog::accept();
        return;
    }
    const QString target = FollowSaveLinks(files.constFirst());
    // Without a link of its own the name is asked about as it is, unless a
    // link among its folders may not be followed.
    if (!QFileInfo(files.constFirst()).isSymLink() && !target.isEmpty()) {
        QFileDialog::accept();
        return;
    }
    const QFileInfo replaced(target);
    // A link to a folder opens it, and a link to nothing replaces nothing:
    // the dialog's own handling fits both.
    if (!target.isEmpty() && (!replaced.exists() || replaced.isDir())) {
        QFileDialog::accept();
        return;
    }
    // A link the save will not follow replaces nothing either; the save then
    // reports that it cannot create the file.
    if (!target.isEmpty() &&
        QMessageBox::warning(this, windowTitle(),
                             QFileDialog::tr("%1 already exists.\nDo you want to replace it?")
                                 .arg(QDir::toNativeSeparators(target)),
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes)
        return;
    setOption(DontConfirmOverwrite, true);
    QFileDialog::accept();
    setOption(DontConfirmOverwrite, false);
}
