REM bex sql from the command line, its answers against the forged values.
! sh check.sh
