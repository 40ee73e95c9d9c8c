# Sourced by the test runner and the benchmark. keep_prefix_offline sets the system proxy of the
# Wine prefix ($WINEPREFIX, through $WINE) to a closed port on 127.0.0.1 for every address but
# 127.0.0.1 itself: whatever a program under test asks the network for (a site's icon) fails at
# once on this machine, and only the tests' own servers on 127.0.0.1 are reached.
keep_prefix_offline() {
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
  $WINE reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f &&
    $WINE reg add "$key" /v ProxyServer /d 127.0.0.1:9 /f &&
    $WINE reg add "$key" /v ProxyOverride /d 127.0.0.1 /f
}
