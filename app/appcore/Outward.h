// Outward: the parts of export, copying, purchase links and the update check that need no
// window: the link and playlist texts, the copy loop and the version file's reading. AppCore
// (AppCoreOutward.cpp) adds the dialogs and message boxes around them.
//
// Any thread. Nothing here throws except std::bad_alloc.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

// The two stores' search addresses, each ending where the query starts.
struct StoreAddresses {
  std::string itunes;  // "itms://HOST/WebObjects/MZSearch.woa/wa/advancedSearchResults?"
  std::string msn;     // "http://HOST/commerce/default.aspx?"
  static StoreAddresses fromDeployment();  // the deployment values (zarvell/deployment.h)
};

struct PurchaseStore {
  std::string key;    // "iTunes", "MSN"
  std::string label;  // the menu label with its mnemonic
};
std::vector<PurchaseStore> purchaseStoreList();

// A store search term: "&" and every space become "%20"; bytes above 127 (UTF-8 names) are
// percent-encoded ("%C3%A9") so that the search keeps them.
std::string encodeTerm(const std::string& text);

// The texts a link is made of; artist "(Various Artists)"/"(Unknown Artist)" and album
// "(Unknown Album)" count as empty. type: the engine's node type (2 album, 4 artist, else song).
struct LinkTerms {
  int type = 1;
  std::string name;
  std::string album;
  std::string artist;
};
// The store link, or "" for an unknown store key.
std::string purchaseLinkFor(const std::string& storeKey, const LinkTerms& terms,
                            const StoreAddresses& stores);

struct M3uEntry {
  int seconds;  // -1 when not known
  std::string name;
  std::string path;
};
// "#EXTM3U" and an "#EXTINF:<seconds>,<name>" line plus the path per song, LF line ends.
std::string m3uText(const std::vector<M3uEntry>& entries);

// A name in `folder` for a copy of `fileName` that names no existing file: the name itself,
// else "<stem> (2)<ext>", "<stem> (3)<ext>"...
std::string freeCopyName(const std::string& folder, const std::string& fileName);

// Copies each file into `folder` under a free name, never overwriting. Before file i of n it
// sends {1, 1, i-1, n, "Copying file i of n..."}; a false answer stops there. A file that
// cannot be copied is skipped. Ends with a "Finished" record unless stopped. Returns the
// number of files copied.
int copyFilesTo(const std::vector<std::string>& files, const std::string& folder,
                const std::function<bool(const ProgressInfo&)>& progress);

// The version number at the start of a version file ("104" is 1.04); 0 when there is none.
int parseVersion(const std::string& text);
inline constexpr const char* kLocalVersion = "0104";

}  // namespace zarvell::app
