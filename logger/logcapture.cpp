// The input logger: the two switches, the start and end of a run, the capture
// step after every input read, and saving the log.
#include "controller/relay.h"

void LoggerForm::SetLoggerEdits()
{
}

QString LoggerForm::CheckTheLogData()
{
    return {};
}

void LoggerForm::ClearButtClick()
{
}

void Controller::InputLogSBClick()
{
}

void Controller::InputNowSBClick()
{
}

void Controller::InitiateLogging(int /*mode*/)
{
}

void Controller::DeactivateLogging()
{
    LogNow = false;
    LogOnTimer = false;
    m_view.setLamp(View::Lamp::LogTimer, false);
    m_view.setLamp(View::Lamp::LogNow, false);
    m_view.setStatusText(1, QStringLiteral("Logging deactivated"));
    LogLedOn = false;
    m_view.setLamp(View::Lamp::Activity, false);
}

void Controller::LogTheData()
{
}

void Controller::LogSaveButtClick()
{
}

void Controller::LogEditButtClick()
{
}

void Controller::SaveLogStep()
{
}
