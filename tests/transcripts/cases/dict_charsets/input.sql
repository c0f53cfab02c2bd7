OPEN dict.cfg
REM nothing SET: the dictionary's character sets are taken, and the
REM conversions write national text and LOB values in the database set
UNLOAD TABLE DICT$;
SET CHARSET
SET NLSCHARSET
REM taken once: the same dictionary again takes nothing
UNLOAD TABLE DICT$;
REM a SET value wins; what is not SET follows the SET database set
SET CHARSET ZHS16GBK
SET ICONV_NCLOB UTF-16BE UTF-8
UNLOAD TABLE DICT$;
SET CHARSET
EXIT
