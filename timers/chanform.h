#pragma once

#include <QStringList>

// The timer editor's own state: its working copy of the records and what the
// main window reads after the editor closed with OK.
class ChanForm
{
public:
    QStringList EditList;
    bool DataChanged = false;
    int RecIndex = 0;
};
