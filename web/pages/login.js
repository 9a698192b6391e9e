// SPDX-License-Identifier: GPL-3.0-or-later
// The password, asked once: the service answers with a session cookie.
"use strict";
document.getElementById("login").addEventListener("submit", async (event) => {
    event.preventDefault();
    const error = document.getElementById("error");
    const reply = await fetch("/api/v1/login", {
        method: "POST",
        body: document.getElementById("password").value,
    });
    if (reply.ok) {
        location.reload();
        return;
    }
    const body = await reply.json().catch(() => ({}));
    error.textContent = body.error || "Sign-in failed (" + reply.status + ")";
});
