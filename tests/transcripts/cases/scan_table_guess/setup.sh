#!/bin/sh
# Tables forged with their expected data files (unload.<name>.txt).
"$BEX_BUILD/bexforge" unload . || exit 1
