// SPDX-License-Identifier: GPL-3.0-or-later
// The pages of the web panel: the list of boards, and one board's relays,
// inputs, messages, schedule and trace, kept up to date by the board's
// WebSocket of changes.
"use strict";

const SVG = "http://www.w3.org/2000/svg";

function element(tag, attributes, text) {
    const e = tag.startsWith("svg:") ? document.createElementNS(SVG, tag.slice(4)) : document.createElement(tag);
    for (const [k, v] of Object.entries(attributes || {}))
        e.setAttribute(k, v);
    if (text !== undefined)
        e.textContent = text;
    return e;
}

function duration(seconds) {
    const h = Math.floor(seconds / 3600), m = Math.floor(seconds / 60) % 60, s = seconds % 60;
    return h > 0 ? `${h} h ${m} min` : m > 0 ? `${m} min ${s} s` : `${s} s`;
}

async function getJson(url) {
    const reply = await fetch(url, { cache: "no-store" });
    if (reply.status === 401)
        location.reload();
    if (!reply.ok)
        throw new Error((await reply.json().catch(() => ({}))).error || reply.statusText);
    return reply.json();
}

// A WebSocket that closed is opened again after a while. When the service
// answers, but not to this browser's session (it has started again since,
// and sessions do not outlive it), the page is loaded again, which asks for
// the password.
function reconnect(listen) {
    fetch("/api/v1/boards", { cache: "no-store" })
        .then((reply) => { if (reply.status === 401) location.reload(); })
        .catch(() => {});
    setTimeout(listen, 2000);
}

// --- the list of boards ---

// The boards as the list's WebSocket last told them, and when.
let boards = [];
let boardsAt = 0;

function showList() {
    const body = document.querySelector("#boards tbody");
    const since = Math.floor((Date.now() - boardsAt) / 1000);
    body.replaceChildren(...boards.map((b) => {
        const row = element("tr");
        const name = element("td");
        name.append(element("a", { href: "/board/" + encodeURIComponent(b.name) }, b.name));
        const availability = element("td");
        availability.append(element("span", { class: "availability " + b.availability },
            b.availability === "online" ? "responding" : "not responding"));
        row.append(name, availability,
            element("td", {}, b.last_fault ? `${b.last_fault} at ${b.last_fault_at.replace("T", " ")}` : "none"),
            element("td", {}, b.availability === "online" ? duration(b.under_control_s + since) : "-"));
        return row;
    }));
}

function listenToList() {
    const scheme = location.protocol === "https:" ? "wss:" : "ws:";
    const socket = new WebSocket(`${scheme}//${location.host}/api/v1/events`);
    const error = document.getElementById("error");
    socket.addEventListener("message", (event) => {
        boards = JSON.parse(event.data);
        boardsAt = Date.now();
        error.textContent = "";
        showList();
    });
    socket.addEventListener("close", () => {
        error.textContent = "The connection to the service is lost; trying again.";
        reconnect(listenToList);
    });
}

// --- one board ---

const boardName = decodeURIComponent(location.pathname.replace(/^\/board\//, ""));
const api = "/api/v1/boards/" + encodeURIComponent(boardName);
let board = null;

function label(number, name) {
    return name ? `${number} (${name})` : number;
}

// The charts' label column: as wide as their longest label, in the 10 px
// text of the charts.
function labelWidth(labels) {
    return Math.max(30, 8 + 6 * Math.max(0, ...labels.map((l) => l.length)));
}

// The schedule last drawn, and the names it was drawn with: a board that
// tells other names has it drawn again.
let drawnSchedule = null;
let drawnNames = "";

function names() {
    return board ? JSON.stringify([board.relay_names, board.input_names]) : "";
}

function buildBoard() {
    const relays = document.getElementById("relays");
    for (let i = 0; i < 16; ++i) {
        const number = String(i + 1).padStart(2, "0");
        const button = element("button", { class: "relay", role: "switch", "aria-checked": "false", id: "relay-" + number }, number);
        button.addEventListener("click", () => switchRelay(i, number));
        relays.append(button);
    }
    const inputs = document.getElementById("inputs");
    for (let i = 0; i < 6; ++i) {
        const lamp = element("div", { class: "lamp", id: "input-" + (i + 1), role: "img", "aria-label": `input ${i + 1} low` });
        lamp.append(element("span", { class: "bulb" }), element("span", { class: "name" }, String(i + 1)));
        inputs.append(lamp);
    }
}

function showBoard(b) {
    board = b;
    document.title = "QMX V217 " + b.name;
    document.getElementById("title").textContent = b.name;
    const availability = document.getElementById("availability");
    const online = b.availability === "online";
    availability.textContent = online ? "responding" : "not responding";
    availability.className = "availability " + b.availability;
    document.getElementById("reason").textContent = online ? "" : b.reason || "";
    // What the board was last sent and read, not what it has now.
    document.getElementById("relays").classList.toggle("stale", !online);
    document.getElementById("inputs").classList.toggle("stale", !online);
    const relays = parseInt(b.relays, 16), inputs = parseInt(b.inputs, 16);
    for (let i = 0; i < 16; ++i) {
        const number = String(i + 1).padStart(2, "0");
        const button = document.getElementById("relay-" + number);
        const on = (relays >> i) & 1;
        button.setAttribute("aria-checked", on ? "true" : "false");
        button.textContent = label(number, b.relay_names && b.relay_names[i]) + (on ? " ON" : " OFF");
    }
    for (let i = 0; i < 6; ++i) {
        const lamp = document.getElementById("input-" + (i + 1));
        const high = (inputs >> i) & 1;
        lamp.classList.toggle("high", !!high);
        const text = label(String(i + 1), b.input_names && b.input_names[i]);
        lamp.querySelector(".name").textContent = text;
        lamp.setAttribute("aria-label", `input ${text} ${high ? "high" : "low"}`);
    }
    if (drawnSchedule && names() !== drawnNames)
        drawSchedule(drawnSchedule);
    if (b.messages)
        document.getElementById("messages").replaceChildren(...b.messages.slice().reverse().map(
            (m) => element("li", {}, `${m.time.replace("T", " ")} ${m.text}`)));
}

async function switchRelay(i, number) {
    const on = board && ((parseInt(board.relays, 16) >> i) & 1);
    const reply = await fetch(`${api}/relays/${number}`, { method: "POST", body: on ? "OFF" : "ON" });
    const body = await reply.json().catch(() => ({}));
    const notice = document.getElementById("notice");
    if (!reply.ok) {
        notice.textContent = body.error || reply.statusText;
        return;
    }
    // What the board said of the switch: a relay held off, and why.
    notice.textContent = (body.messages || []).join(" ");
    showBoard(Object.assign({}, board, { relays: body.relays }));
}

function listen() {
    const scheme = location.protocol === "https:" ? "wss:" : "ws:";
    const socket = new WebSocket(`${scheme}//${location.host}${api}/events`);
    socket.addEventListener("message", (event) => showBoard(JSON.parse(event.data)));
    socket.addEventListener("close", () => {
        showBoard(Object.assign({}, board || { name: boardName, relays: "0000", inputs: "00" },
            { availability: "offline", reason: "The connection to the service is lost; trying again." }));
        reconnect(listen);
    });
}

// A row per relay that has records; one column per day.
function drawSchedule(schedule) {
    const svg = document.getElementById("schedule");
    const from = new Date(schedule.from + "T00:00:00").getTime();
    const span = schedule.days * 86400000;
    drawnSchedule = schedule;
    drawnNames = names();
    const relays = [...new Set(schedule.relays.map((r) => r.relay))].sort((a, b) => a - b);
    const labels = relays.map((relay) => label(String(relay).padStart(2, "0"), board?.relay_names?.[relay - 1]));
    const width = 1000, rowHeight = 18, top = 14, left = labelWidth(labels);
    svg.setAttribute("viewBox", `0 0 ${width} ${top + Math.max(relays.length, 1) * rowHeight + 4}`);
    svg.replaceChildren();
    for (let d = 0; d < schedule.days; ++d) {
        const x = left + (width - left) * d / schedule.days;
        const day = new Date(from + d * 86400000);
        // With no rows, the lines stop above the text that says so.
        svg.append(element("svg:line", { x1: x, x2: x, y1: 0, y2: relays.length ? 1000 : top, stroke: "#d0d7de" }),
            element("svg:text", { x: x + 2, y: 10 }, day.toLocaleDateString(undefined, { weekday: "short", day: "numeric" })));
    }
    if (relays.length === 0)
        svg.append(element("svg:text", { x: left, y: top + 12 }, "No timer record switches a relay in these days."));
    relays.forEach((relay, row) => {
        const y = top + row * rowHeight;
        svg.append(element("svg:text", { x: 2, y: y + 12 }, labels[row]));
        for (const r of schedule.relays.filter((r) => r.relay === relay)) {
            const x1 = left + (width - left) * Math.max(0, new Date(r.on).getTime() - from) / span;
            const x2 = left + (width - left) * Math.min(span, new Date(r.off).getTime() - from) / span;
            const bar = element("svg:rect", { x: x1, y: y + 2, width: Math.max(1, x2 - x1), height: rowHeight - 4, fill: "#2e9d3e" });
            bar.append(element("svg:title", {}, `${r.on} - ${r.off}`));
            svg.append(bar);
        }
    });
}

// The relays and inputs over the last 10 minutes: one line each that was
// ever on, high while on.
function drawTrace(trace) {
    const svg = document.getElementById("trace");
    const span = 600000, start = trace.now - span;
    const rows = [];
    for (let i = 0; i < 16; ++i)
        rows.push({ name: label("R" + String(i + 1).padStart(2, "0"), board?.relay_names?.[i]), relay: true,
            bit: (p) => (parseInt(p.relays, 16) >> i) & 1 });
    for (let i = 0; i < 6; ++i)
        rows.push({ name: label("I" + (i + 1), board?.input_names?.[i]), relay: false,
            bit: (p) => (parseInt(p.inputs, 16) >> i) & 1 });
    const shown = rows.filter((r) => trace.points.some((p) => r.bit(p)));
    const width = 1000, rowHeight = 12, left = labelWidth(shown.map((r) => r.name));
    svg.setAttribute("viewBox", `0 0 ${width} ${Math.max(shown.length, 1) * rowHeight + 16}`);
    svg.replaceChildren();
    for (let m = 0; m <= 10; m += 2) {
        const x = left + (width - left) * m / 10;
        svg.append(element("svg:text", { x: x, y: shown.length * rowHeight + 14 }, `-${10 - m} min`));
    }
    shown.forEach((r, row) => {
        const y = row * rowHeight;
        svg.append(element("svg:text", { x: 2, y: y + 10 }, r.name));
        trace.points.forEach((p, k) => {
            const next = k + 1 < trace.points.length ? trace.points[k + 1].t : trace.now;
            if (!r.bit(p) || next < start)
                return;
            const x1 = left + (width - left) * (Math.max(p.t, start) - start) / span;
            const x2 = left + (width - left) * (next - start) / span;
            svg.append(element("svg:rect", { x: x1, y: y + 2, width: Math.max(1, x2 - x1), height: rowHeight - 4, fill: r.relay ? "#2e9d3e" : "#f5c518" }));
        });
    });
}

async function refreshCharts() {
    try {
        drawTrace(await getJson(api + "/trace"));
    } catch (e) {
        // The board's WebSocket tells what is wrong.
    }
}

if (document.body.dataset.page === "list") {
    listenToList();
    // The time under control goes on between the service's messages.
    setInterval(showList, 1000);
} else {
    buildBoard();
    listen();
    getJson(api + "/schedule?days=7").then(drawSchedule).catch((e) => {
        document.getElementById("schedule").replaceChildren(element("svg:text", { x: 4, y: 14 }, e.message));
    });
    refreshCharts();
    setInterval(refreshCharts, 5000);
}
