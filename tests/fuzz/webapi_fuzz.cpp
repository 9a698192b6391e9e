// SPDX-License-Identifier: GPL-3.0-or-later
// The web panel's own parsing on arbitrary input: the first line is a
// method and a path (and an http address), the rest a body. Nothing may
// crash; a path names a board only by one whole segment, a relay only from
// 1 to 16 (0 for two digits out of range), and an accepted body says exactly
// what it was parsed as.
#include "web/api.h"
#include "web/httpconfig.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "webapi_fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype end = input.indexOf('\n');
    const QByteArray first = end < 0 ? input : input.left(end);
    const QByteArray body = end < 0 ? QByteArray() : input.mid(end + 1);
    const qsizetype space = first.indexOf(' ');
    const QByteArray method = space < 0 ? QByteArray("GET") : first.left(space);
    const QString path = QString::fromUtf8(space < 0 ? first : first.mid(space + 1));

    using Kind = web::Route::Kind;
    const web::Route route = web::ParseRoute(method, path);
    const bool namesBoard = route.kind == Kind::Board || route.kind == Kind::BoardPage ||
                            route.kind == Kind::Relay || route.kind == Kind::Relays ||
                            route.kind == Kind::Schedule || route.kind == Kind::Trace ||
                            route.kind == Kind::Events;
    if (namesBoard) {
        require(!route.board.isEmpty(), "a board route without a board");
        require(!route.board.contains(u'/'), "a board name across segments");
        require(path.contains(u'/' + route.board), "a board name not in the path");
    }
    require(route.relay >= 0 && route.relay <= 16, "a relay beyond 16");
    if (route.kind != Kind::Relay)
        require(route.relay == 0, "a relay outside a relay route");
    if (route.kind == Kind::Asset)
        require(!route.asset.contains(u'/') && !route.asset.startsWith(u'.'),
                "an asset outside the assets");
    if (route.changes())
        require(method == "POST", "a change by another method than POST");

    if (const std::optional<quint16> word = web::ParseRelayWord(body)) {
        const QByteArray text = QByteArray::number(*word, 16).rightJustified(4, '0');
        require(body.trimmed().toLower() == text, "a relay word that is not the body's");
    }
    if (const std::optional<web::RelayAction> action = web::ParseRelayAction(body)) {
        const QByteArray word = body.trimmed().toUpper();
        require(word == "ON" || word == "OFF" || word == "TOGGLE", "an action not in the body");
    }

    web::HttpConfig http;
    if (web::ParseHttpAddress(http, QString::fromUtf8(first)).isEmpty())
        require(http.enabled() && !http.address.isNull(), "an accepted address without a port");
    return 0;
}
