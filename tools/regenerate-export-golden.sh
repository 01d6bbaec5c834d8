#!/bin/sh
# Regenerates tests/files/golden/short_song.wav, the stored render of the export tests' golden
# song, after an intended change of how songs sound. Listen to the new file before committing.
set -e
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target export_tests
TAVOMIX_REGENERATE_GOLDEN=1 ./build/default/tests/files/export_tests \
    --gtest_filter='WavExport.GoldenRenderMatchesTheStoredFile'
git status --short tests/files/golden
