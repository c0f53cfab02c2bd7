#!/bin/sh
"$BEX_BUILD/bexforge" scan . --big > /dev/null
