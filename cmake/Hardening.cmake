# SPDX-License-Identifier: GPL-3.0-or-later
# The hardening flags Debian builds its own packages with (dpkg-buildflags
# with hardening=+all on Debian 12): checked string and memory functions,
# stack protection, format string warnings, and a read-only relocation table
# bound at start-up. The Release build, which the package is made from, gets
# them; the other builds keep their flags (_FORTIFY_SOURCE needs optimisation,
# and the debug, sanitizer and benchmark builds measure and find faults).
set(v217_hardened "$<CONFIG:Release>")
add_compile_options(
  "$<${v217_hardened}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
  "$<${v217_hardened}:-fstack-protector-strong;-Wformat;-Werror=format-security>")
add_link_options("$<${v217_hardened}:LINKER:-z,relro;LINKER:-z,now>")
