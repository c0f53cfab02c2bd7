OPEN scan.cfg
SCAN DATABASE
HOST cmp scan.BEXEXT.TXT BEXDICT/BEXEXT.TXT && cmp scan.BEXLOB.TXT BEXDICT/BEXLOB.TXT && echo "listings as forged"
HOST cp BEXDICT/BEXEXT.TXT database.ext && cp BEXDICT/BEXLOB.TXT database.lob
HOST echo "temporary map files: $(ls BEXDICT | grep -c 'L[12]T$')"
HOST echo "bucket positions: $(wc -l < BEXDICT/BEXLOBPOS.TXT)" && sort -n -c BEXDICT/BEXLOBPOS.TXT && echo "never decreasing"
SCAN PARALLELDB
HOST cmp database.ext BEXDICT/BEXEXT.TXT && cmp database.lob BEXDICT/BEXLOB.TXT && echo "parallel listings identical"
HOST ls BEXDICT
