// SPDX-License-Identifier: GPL-3.0-or-later
// v217-boardsim: a V217 board on a pseudo-terminal, linked as a COM port in
// the port folder, scripted from standard input. See --help.
#include "common/folders.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kHelp = R"(Usage: v217-boardsim [--port N | --no-link] [--inputs N]

Simulates a V217 relay and input board on a pseudo-terminal and links it as
COM N (default 1): the link com<N> in $XDG_CONFIG_HOME/qmx-v217/ports/
(default ~/.config/qmx-v217/ports/) points at the terminal, so the program
opens it as "COM N". With --no-link it links nothing and only tells the
terminal's path, for a device opened by its path or linked by another name.

The board answers as the real one:
  R<4 hex digits><CR>   echo of the command, then LF and "#"
  I0<CR>                "I0" CR LF, two input digits, CR LF "#"
  any other line        echoed, then LF and "#"
and sends its prompt CR LF "#" when it starts.

Options:
  --port N      the COM number to link (1 to 9)
  --no-link     link no COM number; the ready line names the terminal
  --inputs N    the initial inputs, 0 to 63 (bit 0 = input 1)
  --exit-on-eof end when standard input ends (else it is ignored)
  --help        this text

Standard output: one line per event, starting with the seconds of the
monotonic clock:
  <t> ready COM<N> <terminal>   linked and answering
  <t> ready - <terminal>        answering, linked as no COM number (--no-link)
  <t> rx <command>              a command received (CR shown as \r)
  <t> tx <bytes>                bytes sent (a reply, or a piece of one)
  <t> info <text>               what a control command did
Standard input, one control command per line:
  inputs N        set the six inputs to N (0 to 63, bit 0 = input 1);
                  "inputs 0x3F" and "inputs 0b101" work too
  input K 0|1     set input K (1 to 6) low or high
  silent on|off   receive and log commands but answer nothing
  delay MS        answer every command MS milliseconds late (0: at once)
  split N [MS]    send each reply in N pieces, MS ms apart (default 10);
                  "split 1" sends replies whole again
  garbage         replace the next reply by as many "?" characters
  lowercase       answer the next input query with the digits "1a"
  flood on|off    send "?" without pause, as fast as the terminal takes it
                  (commands are still received and answered in between)
  send TEXT       send TEXT at once (\r \n \\ \xHH understood)
  prompt          send the prompt CR LF "#"
  hangup          close the terminal: the board is unplugged
  relink [N]      open a new terminal and link it as COM N (default: the
                  same number, or none after --no-link), after a hang-up or
                  to move the board
  quit            remove the link and end (SIGINT and SIGTERM do the same;
                  the end of standard input only with --exit-on-eof)
)";

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void say(const char* kind, const std::string& text)
{
    std::printf("%.6f %s %s\n", monotonicSeconds(), kind, text.c_str());
    std::fflush(stdout);
}

std::string escaped(const QByteArray& bytes)
{
    std::string out;
    for (const char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray unescaped(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else if (next == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else
            out += next;
    }
    return out;
}

std::optional<int> parseNumber(const QByteArray& text)
{
    bool ok = false;
    int value = 0;
    if (text.startsWith("0x") || text.startsWith("0X"))
        value = text.mid(2).toInt(&ok, 16);
    else if (text.startsWith("0b") || text.startsWith("0B"))
        value = text.mid(2).toInt(&ok, 2);
    else
        value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

struct Outgoing
{
    Clock::time_point due;
    QByteArray bytes;
};

class Board
{
public:
    int port = 1;
    bool linking = true;
    int inputs = 0;
    bool silent = false;
    int delayMs = 0;
    int splitPieces = 1;
    int splitGapMs = 10;
    bool garbageNext = false;
    bool lowercaseNext = false;
    bool flooding = false;
    long long floodBytes = 0;

    // Opens a new terminal and, unless the board runs unlinked, links it.
    bool link()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) < 0 || unlockpt(master) < 0) {
            say("error", std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
            return false;
        }
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        terminal = QString::fromLocal8Bit(ptsname(master));
        // Keep the terminal's own side open and raw for the simulator's whole
        // life: otherwise its cooked defaults echo and translate bytes, and
        // each close by the program makes this side report a hang-up.
        slave = open(QFile::encodeName(terminal).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) {
            say("error", "cannot open " + terminal.toStdString() + ": " + std::strerror(errno));
            return false;
        }
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(slave, TCSANOW, &tio);

        if (!linking) {
            linkPath.clear();
            say("ready", "- " + terminal.toStdString());
            send(QByteArrayLiteral("\r\n#"));
            return true;
        }
        const QString folder = PortFolder();
        QDir().mkpath(folder);
        linkPath = folder + QStringLiteral("/com%1").arg(port);
        // Replace any old link in one step, so the program never sees none.
        const QString temporary = linkPath + QStringLiteral(".new");
        QFile::remove(temporary);
        if (!QFile::link(terminal, temporary) ||
            std::rename(QFile::encodeName(temporary).constData(),
                        QFile::encodeName(linkPath).constData()) != 0) {
            say("error", "cannot link " + linkPath.toStdString());
            return false;
        }
        say("ready", "COM" + std::to_string(port) + " " + terminal.toStdString() + " " +
                         linkPath.toStdString());
        send(QByteArrayLiteral("\r\n#"));
        return true;
    }

    void hangUp()
    {
        if (master >= 0)
            close(master);
        if (slave >= 0)
            close(slave);
        master = -1;
        slave = -1;
        received.clear();
        outgoing.clear();
    }

    void unlink()
    {
        // Only our own link: another simulator may have taken the number.
        if (!linkPath.isEmpty() && QFile::symLinkTarget(linkPath) == terminal)
            QFile::remove(linkPath);
    }

    void onReadable()
    {
        char buffer[256];
        for (;;) {
            const ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            received.append(buffer, got);
        }
        qsizetype end = 0;
        while ((end = received.indexOf('\r')) >= 0) {
            const QByteArray command = received.left(end + 1);
            received.remove(0, end + 1);
            say("rx", escaped(command));
            answer(command);
        }
    }

    void answer(const QByteArray& command)
    {
        if (silent)
            return;
        QByteArray reply;
        if (command == "I0\r") {
            QByteArray digits;
            digits += static_cast<char>('0' + ((inputs >> 3) & 7));
            digits += static_cast<char>('0' + (inputs & 7));
            if (lowercaseNext) {
                digits = "1a";
                lowercaseNext = false;
            }
            reply = "I0\r\n" + digits + "\r\n#";
        } else {
            reply = command + "\n#";
        }
        if (garbageNext) {
            reply.fill('?');
            garbageNext = false;
        }
        send(reply, milliseconds(delayMs));
    }

    void send(const QByteArray& bytes, milliseconds delay = milliseconds(0))
    {
        const int pieces =
            std::clamp(splitPieces, 1, static_cast<int>(std::max<qsizetype>(1, bytes.size())));
        const qsizetype size = (bytes.size() + pieces - 1) / pieces;
        Clock::time_point due = Clock::now() + delay;
        for (qsizetype at = 0; at < bytes.size(); at += size) {
            outgoing.push_back({due, bytes.mid(at, size)});
            due += milliseconds(splitGapMs);
        }
    }

    // Sends what is due; returns the poll time-out until the next piece.
    int flush()
    {
        const auto now = Clock::now();
        while (!outgoing.empty() && outgoing.front().due <= now) {
            const QByteArray& bytes = outgoing.front().bytes;
            if (master >= 0 &&
                write(master, bytes.constData(), static_cast<size_t>(bytes.size())) < 0)
                say("info", std::string("write failed: ") + std::strerror(errno));
            else if (master >= 0)
                say("tx", escaped(bytes));
            outgoing.pop_front();
        }
        if (outgoing.empty())
            return -1;
        const auto wait = std::chrono::duration_cast<milliseconds>(outgoing.front().due - now);
        return static_cast<int>(std::max<milliseconds::rep>(1, wait.count()));
    }

    // Fills the terminal while flooding; no event line per piece, which
    // would flood the log instead.
    void floodMore()
    {
        static const QByteArray kFlood(256, '?');
        const ssize_t put = write(master, kFlood.constData(), static_cast<size_t>(kFlood.size()));
        if (put > 0)
            floodBytes += put;
    }

    int master = -1;
    int slave = -1;
    QString terminal;
    QString linkPath;
    QByteArray received;
    std::deque<Outgoing> outgoing;
};

bool onOff(const QByteArray& word, bool& flag)
{
    if (word == "on" || word == "1")
        flag = true;
    else if (word == "off" || word == "0")
        flag = false;
    else
        return false;
    return true;
}

// Runs one control line; false ends the simulator.
bool control(Board& board, const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(' ');
    const QByteArray verb = space < 0 ? trimmed : trimmed.left(space);
    const QByteArray rest = space < 0 ? QByteArray() : trimmed.mid(space + 1).trimmed();
    const QList<QByteArray> args = rest.split(' ');
    const auto bad = [&] {
        say("info", "not understood: " + trimmed.toStdString() + " (see --help)");
    };

    if (verb.isEmpty() || verb.startsWith('#'))
        return true;
    if (verb == "quit" || verb == "exit")
        return false;
    if (verb == "inputs") {
        const auto value = parseNumber(rest);
        if (!value || *value < 0 || *value > 63)
            return bad(), true;
        board.inputs = *value;
        say("info", "inputs " + std::to_string(board.inputs));
    } else if (verb == "input") {
        const auto k = parseNumber(args.value(0));
        bool high = false;
        if (!k || *k < 1 || *k > 6 || !onOff(args.value(1), high))
            return bad(), true;
        board.inputs = high ? board.inputs | (1 << (*k - 1)) : board.inputs & ~(1 << (*k - 1));
        say("info", "inputs " + std::to_string(board.inputs));
    } else if (verb == "silent") {
        if (!onOff(rest, board.silent))
            return bad(), true;
        say("info", board.silent ? "silent" : "answering");
    } else if (verb == "delay") {
        const auto ms = parseNumber(rest);
        if (!ms || *ms < 0)
            return bad(), true;
        board.delayMs = *ms;
        say("info", "delay " + std::to_string(board.delayMs) + " ms");
    } else if (verb == "split") {
        const auto pieces = parseNumber(args.value(0));
        const auto gap = args.size() > 1 ? parseNumber(args.value(1)) : std::optional<int>(10);
        if (!pieces || *pieces < 1 || !gap || *gap < 0)
            return bad(), true;
        board.splitPieces = *pieces;
        board.splitGapMs = *gap;
        say("info", "split " + std::to_string(*pieces) + " pieces " + std::to_string(*gap) + " ms");
    } else if (verb == "garbage") {
        board.garbageNext = true;
        say("info", "next reply garbage");
    } else if (verb == "lowercase") {
        board.lowercaseNext = true;
        say("info", "next input reply lower case");
    } else if (verb == "flood") {
        if (!onOff(rest, board.flooding))
            return bad(), true;
        say("info", board.flooding
                        ? std::string("flooding")
                        : "flood off, " + std::to_string(board.floodBytes) + " bytes sent");
        board.floodBytes = 0;
    } else if (verb == "send") {
        board.send(unescaped(rest));
        say("info", "sent " + escaped(unescaped(rest)));
    } else if (verb == "prompt") {
        board.send(QByteArrayLiteral("\r\n#"));
        say("info", "prompt");
    } else if (verb == "hangup") {
        board.hangUp();
        say("info", "hung up");
    } else if (verb == "relink") {
        if (!rest.isEmpty()) {
            const auto n = parseNumber(rest);
            if (!n || *n < 1 || *n > 9)
                return bad(), true;
            board.unlink();
            board.port = *n;
            board.linking = true;
        }
        board.hangUp();
        if (!board.link())
            return false;
    } else {
        bad();
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Board board;
    bool exitOnEof = false;
    bool portGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::optional<int> {
            if (i + 1 >= argc)
                return std::nullopt;
            return parseNumber(QByteArray(argv[++i]));
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--exit-on-eof") {
            exitOnEof = true;
        } else if (arg == "--no-link") {
            board.linking = false;
        } else if (arg == "--port") {
            const auto n = value();
            if (!n || *n < 1 || *n > 9) {
                std::fputs("--port wants a number from 1 to 9\n", stderr);
                return 2;
            }
            board.port = *n;
            portGiven = true;
        } else if (arg == "--inputs") {
            const auto n = value();
            if (!n || *n < 0 || *n > 63) {
                std::fputs("--inputs wants a number from 0 to 63\n", stderr);
                return 2;
            }
            board.inputs = *n;
        } else {
            std::fprintf(stderr, "unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (portGiven && !board.linking) {
        std::fputs("--port and --no-link exclude each other\n", stderr);
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    if (!board.link())
        return 1;

    QByteArray controlInput;
    bool stdinOpen = true;
    bool running = true;
    while (running && !g_stop) {
        const auto boardEvents = static_cast<short>(board.flooding ? POLLIN | POLLOUT : POLLIN);
        pollfd fds[2] = {{board.master, boardEvents, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (!stdinOpen)
            fds[1].fd = -1;
        const int timeout = board.flush();
        const int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (board.master >= 0 && (fds[0].revents & POLLIN))
            board.onReadable();
        if (board.master >= 0 && board.flooding && (fds[0].revents & POLLOUT))
            board.floodMore();
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[512];
            const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0) {
                stdinOpen = false;
                if (exitOnEof)
                    running = false;
                continue;
            }
            controlInput.append(buffer, got);
            qsizetype end = 0;
            while (running && (end = controlInput.indexOf('\n')) >= 0) {
                running = control(board, controlInput.left(end));
                controlInput.remove(0, end + 1);
            }
        }
    }
    board.unlink();
    board.hangUp();
    say("info", "stopped");
    return 0;
}
