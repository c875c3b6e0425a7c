#!/usr/bin/env bash
# Checks that the engine library exports every method of IQornManager and nothing else
# of the engine. Usage: check_exports.sh libKalvoretEngine.so
set -euo pipefail
lib=$1
symbols=$(nm -DC --defined-only "$lib" | awk '$2 == "T" || $2 == "W" { $1 = ""; $2 = ""; print }')
methods=(
  loadNet saveNet getFirstNode getNodeByPath removeNodeFromNet abortSyncNetworkToLibrary
  compareNetworkToLibrary syncNetworkToLibrary getNodeType getNodeName getMd5 getMediaPath
  getNumSubNodes getSubNode getAlbumNode getNumArtists getArtistNode getArtistName getKeywords
  getDuration setDuration getActivation isBlocked setBlocked addNodeRef releaseNode
  getNodeFeaturesetUrl onPlay onStop onAbortedSong onSongEndReached onPrev learnTransition
  freezeLinks pickNextNode pickPrevNode boost activateKeywords getNeighbours getLinkStrength
  getFlatList setPropagateToMeta getPropagateToMeta getTaboo setTaboo setTabooDuration
  setLocalTabooList resetLocalTabooList setViewStyle getListLength getNodeFromList
  syncPlayQueue getPlayQueue removeEntriesFromHistory createPlayList createPalette
  getMyKalvorets setMyKalvorets importFileList importFromMetaData importITunes loginUser
  checkUserExists createUser getSimilarUsers remoteCrossActivation changePort uploadFeatures
  onAddToLogOutput getLogOutput clearLogOutput fillReturnNodes FreeStringsBuffer
)
missing=0
for m in "${methods[@]}"; do
  if ! grep -q "IQornManager::$m(" <<<"$symbols"; then
    echo "missing export: IQornManager::$m"; missing=1
  fi
done
for special in "IQornManager::IQornManager(bool, IQornManagerCallback\*)" \
               "IQornManager::~IQornManager()" "IQornManager::operator=("; do
  grep -q "$special" <<<"$symbols" || { echo "missing export: $special"; missing=1; }
done
[ ${#methods[@]} -eq 73 ] || { echo "method list has ${#methods[@]} entries, expected 73"; missing=1; }
# Nothing of the engine's internals leaks out.
if grep -v "IQornManager" <<<"$symbols" | grep -q "qorn"; then
  echo "engine internals exported:"; grep -v "IQornManager" <<<"$symbols" | grep "qorn"; missing=1
fi
[ $missing -eq 0 ] && echo "all ${#methods[@]} methods exported"
exit $missing
