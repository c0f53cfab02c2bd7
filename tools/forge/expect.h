// Expectations: what a correct reader must find in the forged files, one fact
// per line. The file written by ForgeFile/scenarios starts with this format
// description as its header comment (kExpectFormat).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bex::forge {

inline constexpr const char* kExpectFormat =
    "# bexforge expectations: each line is one fact a correct reader must find.\n"
    "# Fields are separated by one blank: the kind, then (except for 'file')\n"
    "# the block address rfn/block, then key=value pairs. Numbers are decimal\n"
    "# unless written 0x...; byte strings are lower-case hex without separators;\n"
    "# a column list is comma-separated hex, an empty item being a column of\n"
    "# length 0 (NULL); row addresses are rdba:slot. Lines starting with # are\n"
    "# comments.\n"
    "#\n"
    "# file   name=PATH rfn=N bsize=N order=LITTLE|BIG hsize=N blocks=N bytes=N\n"
    "#          blocks = highest block number, bytes = hsize + (blocks + 1) * bsize\n"
    "# block  R/B rdba=0x.. type=0x.. objd=N checksum=good|bad|none\n"
    "# osblk  R/B bsize=N blocks=N\n"
    "# fhdr   R/B dbid=N db=S ts#=N ts=S file#=N blks=N blksiz=N ver=0x..\n"
    "# data   R/B hdsz=N itc=N flg=0x.. flag=0x.. ntab=N nrow=N fsbo=N fseo=N rows=N\n"
    "#          (fsbo, fseo relative to hdsz; rows = row count of table 0, or of\n"
    "#          table 1 in a compressed block)\n"
    "# itl    R/B id=N flag=CBUT lock=N committed=0|1\n"
    "# tab    R/B tab=N first=N nrow=N\n"
    "# row    R/B tab=N slot=N offs=N flag=KCHDFLPN lock=N committed=0|1\n"
    "#          head=RDBA:SLOT next=RDBA:SLOT ncols=N cols=H,H,... piece=H\n"
    "#          offs = absolute offset of the piece in the block; cols = the\n"
    "#          parsed column list (cluster members: key columns first;\n"
    "#          compressed rows: symbol-table columns expanded); piece = the\n"
    "#          piece's bytes (compressed rows: their stored bytes)\n"
    "# free   R/B tab=N slot=N\n"
    "# seg    R/B type=0x.. objd=N exts=N blks=N hwm=0x.. map=0x.. here=N\n"
    "# extent R/B idx=N rdba=0x.. len=N\n"
    "# index  R/B level=N iot=0|1 conco=N conro=N ledsz=N next=0x.. prev=0x..\n"
    "# entry  R/B slot=N offs=N flag=0x.. lock=N committed=0|1 data=H next=RDBA:SLOT\n"
    "#          ncols=N cols=H,... piece=H   (IOT entries: key then row columns)\n"
    "# undo   R/B usn=N slot=N wrap=N seq=N cnt=N\n"
    "# urec   R/B idx=N offs=N len=N bytes=H\n"
    "# useg   R/B type=0x.. extents=N blocks=N trans=N tcount=N\n"
    "#          trans = transaction area offset, tcount = transaction entries\n"
    "# tslot  R/B idx=N wrap=N state=N rdba=0x.. scn=0x..\n"
    "# lob    R/B objd=N lobid=H page=N version=N   (LOB id: its 10 bytes)\n"
    "# chunk  R/B bytes=N   (a block named by a chunk-list locator: payload\n"
    "#          bytes from offset 128)\n"
    "# bitmap R/B level=1|2\n"
    "#\n"
    "# ASM groups (no block address):\n"
    "# asmgroup PREFIX name=S redundancy=EXTERNAL|NORMAL|HIGH disks=N au=N bsize=N\n"
    "#          order=LITTLE|BIG mb=N compat=0x.. f1b1disk=N f1b1au=N\n"
    "#          (mb = disk size; f1b1 = the F1B1 location ASM OPEN takes from the\n"
    "#          disks present)\n"
    "# asmdisk  N path=PATH name=S f1b1=N present=0|1   (f1b1: this disk's header)\n"
    "# asmfile  N name=ORIGINAL size=N extents=N pointers=N alloc=N striped=0|1\n"
    "#          entry=DISK/AU/BLOCK   (ASM file N holds ORIGINAL; alloc = bytes of\n"
    "#          its extents: COPY (SCOPY when striped) writes the original, cut at\n"
    "#          its size or followed by zeros up to alloc; entry = primary copy of\n"
    "#          its directory entry)\n"
    "# asmhole  N extent=E aus=N kind=empty|skipped   (no AU behind extent E)\n"
    "# asmcopy  N extent=E copy=C disk=N au=N aus=N present=0|1   (mirrored groups:\n"
    "#          copy 0 is the primary)\n"
    "#\n"
    "# Backup pieces (no block address; CFG names the configuration CFG.cfg):\n"
    "# rmanpiece SLOT cfg=CFG path=PATH blocks=N runs=N runblocks=N tail=N\n"
    "#          (the piece in that slot: whole blocks, runs of data-file blocks\n"
    "#          and the blocks in them, bytes after the last whole block)\n"
    "# rmanfile  FILEID cfg=CFG rfn=N restored=N filler=N several=N newer=N\n"
    "#          image=PATH   (RMAN RESTORE FILE FILEID writes PATH: restored\n"
    "#          blocks, filler blocks; several = blocks with more than one copy,\n"
    "#          newer = of those, blocks whose newest copy is not listed last)\n";

// One fact about a block, without its address; ForgeFile adds "kind R/B".
struct Fact {
  std::string kind;
  std::string rest;
};
using Facts = std::vector<Fact>;

// printf into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace bex::forge
