// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// QMX T95 Help: the usage notes, read-only, closed with OK.
class THelpFm : public QDialog
{
    Q_OBJECT

public:
    explicit THelpFm(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};
