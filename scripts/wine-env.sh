# Sourced by the Wine scripts: where Wine is and how it runs for the tests.
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# No Mono or Gecko download dialogs, no debug chatter.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEDEBUG=${WINEDEBUG:--all}
# Z: is the Unix root in every prefix.
winepath_of() { echo "Z:${1//\//\\}"; }
