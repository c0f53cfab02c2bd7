#!/bin/sh
"$BEX_BUILD/bexforge" scan . > /dev/null
