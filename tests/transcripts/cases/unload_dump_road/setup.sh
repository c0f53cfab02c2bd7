#!/bin/sh
# The forged database of the dictionary scenario with the export dumps a
# correct BEX writes (expect/dump/), and an imp that only says how it was
# called.
"$BEX_BUILD/bexforge" dict . > /dev/null || exit 1
printf '#!/bin/sh\necho "imp $*"\n' > imp && chmod +x imp
