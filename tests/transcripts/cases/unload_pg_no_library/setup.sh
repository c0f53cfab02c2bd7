#!/bin/sh
# The forged tables and dictionary of unload_table. The test runs with
# BEX_TEST_LIBPQ naming a PostgreSQL client library that is not there
# (tests/transcripts/CMakeLists.txt).
exec "$BEX_SOURCE/tests/transcripts/cases/unload_table/setup.sh"
