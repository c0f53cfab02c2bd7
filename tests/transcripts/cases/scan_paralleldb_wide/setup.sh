#!/bin/sh
# Six forged files: the parallel scan's workers take slots 0 and 4, 1 and
# 5, 2, and 3, and their listings are joined in worker order.
"$BEX_BUILD/bexforge" scanwide . > /dev/null
