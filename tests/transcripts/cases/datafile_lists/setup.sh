#!/bin/sh
printf '0x00400005\n8388615\nnot a number\n0\n0X00C00001\n' > skip.txt
