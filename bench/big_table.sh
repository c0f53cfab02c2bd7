# Sourced by run_unload.sh and run_dump.sh: builds bex and forge_big_table
# (Release, in BEX_BENCH_BUILD, default build-bench), goes to BEX_BENCH_DIR
# (default /tmp/bex-unload-bench) and forges big.dbf there with `rows` rows
# unless it holds that many already, with big_system.dbf beside it (a SYSTEM
# file whose dictionary names the table BENCH.BIG); leaves src, build, work,
# big.cfg (big.dbf alone) and bytes (the size of big.dbf).
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-unload-bench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF >/dev/null
ninja -C "$build" -j2 bex forge_big_table >/dev/null
mkdir -p "$work"
cd "$work"
if [ ! -f big.dbf ] || [ ! -f big_system.dbf ] || [ "$(cat big.rows 2>/dev/null)" != "$rows" ]; then
  echo "forging $rows rows ..."
  "$build/forge_big_table" big.dbf "$rows" big_system.dbf
  echo "$rows" > big.rows
fi
echo big.dbf > big.cfg
bytes=$(stat -c %s big.dbf)
