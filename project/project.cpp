// The project file, the last-run file and the save questions.
#include "controller/relay.h"

void Controller::Save1Click()
{
}

void Controller::Load1Click()
{
}

void Controller::OpenTheProjectFile(const QString& /*path*/)
{
}

void Controller::FormCloseQuery(bool& canClose)
{
    canClose = true;
}
