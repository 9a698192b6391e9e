// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/boardconf.h"

#include "common/folders.h"
#include "common/savefile.h"
#include "common/view.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

QString BoardSettingsFile()
{
    return ConfigFolder() + QStringLiteral("/board.conf");
}

std::variant<std::optional<safety::BoardSettings>, QString> ReadBoardConf(const QString& path)
{
    // Asked first: a link is refused whether or not it leads anywhere.
    if (IsLinkOrOthersFile(path))
        return QStringLiteral("%1: is a symbolic link or a file of another user; only a file of "
                              "your own is used")
            .arg(path);
    if (!QFileInfo::exists(path))
        return std::optional<safety::BoardSettings>{};
    std::variant<safety::BoardSettings, QString> read = safety::ReadBoardSettingsFile(path);
    if (QString* problem = std::get_if<QString>(&read))
        return *problem;
    return std::optional<safety::BoardSettings>(std::get<safety::BoardSettings>(read));
}

DesktopBoard::DesktopBoard(QString file, Apply apply, View& view, std::function<bool()> startedUp)
    : m_file(std::move(file)), m_apply(std::move(apply)), m_view(view),
      m_startedUp(std::move(startedUp))
{
    m_tick.setInterval(kCheckPeriod);
    QObject::connect(&m_tick, &QTimer::timeout, &m_tick, [this] { tick(); });
}

void DesktopBoard::load()
{
    std::variant<std::optional<safety::BoardSettings>, QString> read = ReadBoardConf(m_file);
    if (const QString* problem = std::get_if<QString>(&read)) {
        m_fileProblem = *problem;
        m_tick.start();
        return;
    }
    if (const std::optional<safety::BoardSettings>& settings =
            std::get<std::optional<safety::BoardSettings>>(read)) {
        m_settings = *settings;
        m_apply(m_settings);
    }
}

void DesktopBoard::tick()
{
    // The controller's start-up shows its own boxes first.
    if (!m_startedUp())
        return;
    m_tick.stop();
    if (m_fileProblem.isEmpty())
        return;
    m_view.showError(QStringLiteral("The board settings cannot be used, so none are applied:\r%1"
                                    "\rThe file is kept as it is until the settings are saved "
                                    "in Port > Board.")
                         .arg(m_fileProblem));
}

bool DesktopBoard::save(const safety::BoardSettings& settings, QString& problem)
{
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QDir().mkpath(folder)) {
        problem =
            QStringLiteral("The board settings cannot be saved: the folder %1 cannot be made.")
                .arg(folder);
        return false;
    }
    if (IsLinkOrOthersFile(m_file)) {
        problem = QStringLiteral("The board settings cannot be saved to %1: it is a symbolic link "
                                 "or a file of another user, which is never written.")
                      .arg(m_file);
        return false;
    }
    errno = 0;
    if (!ReplaceFile(m_file, safety::BoardSettingsText(settings))) {
        const int error = errno;
        problem = error == 0
                      ? QStringLiteral("The board settings cannot be saved to %1.").arg(m_file)
                      : QStringLiteral("The board settings cannot be saved to %1: %2.")
                            .arg(m_file, QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    m_settings = settings;
    // A problem not yet told is no longer true.
    m_fileProblem.clear();
    m_apply(m_settings);
    return true;
}
