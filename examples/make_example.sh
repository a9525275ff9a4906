#!/usr/bin/env bash
# Regenerates the example data set examples/Tavimorelund.dat with the
# project's own population simulation, from the parameters stated below.
# Usage: examples/make_example.sh [output file]   (default: examples/Tavimorelund.dat)
# MAKE_EXAMPLE may name an already built make_example program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/examples/Tavimorelund.dat}"
exe="${MAKE_EXAMPLE:-}"
if [ -z "$exe" ]; then
  cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$root/build-release" -j "$(nproc)" --target make_example >/dev/null
  exe="$root/build-release/tools/make_example"
fi

# The population: males live to age 4 and breed from age 1, females live to
# age 6 and breed from age 2. Class sizes are given for ages 0..K, shares of
# reproduction for ages 1..K (each sex's shares are scaled to sum to 0.5).
# Every member is equally likely to be sampled. Per locus the number of
# alleles and the dropout, other-error and missing-genotype rates are drawn
# from the ranges given. The proportions of fathers and mothers sampled
# written to the file are those of the simulated sample (members of at least
# the minimal reproductive age).
"$exe" \
  seed=2718 \
  name=Example output=example \
  individuals=300 \
  loci=15 alleles=6,14 \
  max-age=4,6 min-age=1,2 \
  male-sizes=300,220,160,110,70 \
  female-sizes=300,230,180,140,100,70,40 \
  male-shares=0.15,0.35,0.30,0.20 \
  female-shares=0,0.15,0.25,0.25,0.20,0.15 \
  dropout=0.005,0.04 other-error=0.002,0.02 missing=0.01,0.06 \
  known=3,3 excluded=2,2 excluded-per-offspring=2 \
  replicates=5 confidence=90 poisson=1 \
  > "$out"
echo "Example data written: $out"
