// The file-system manager of one instance: a table of named items, each either a file on disk
// (base folder + name, opened and read through the manager) or a block of bytes held in the pool
// (a cached item, tag "FSYS"). Items are loaded in bulk from archives, written back as archives or
// unpacked into folders. Also the small file utilities the library and boot code use.
//
// Archive file, integers little-endian:
//   0   40 bytes  "Ostrel2 1.3.507", NUL-terminated, rest zero (only "Ostrel2 " is checked)
//   40  4 bytes   D, the size of the item data
//   44  D bytes   the items' bytes in index order
//   44 + D ...    the index: <TOC><ITEM><ENTRY> name </ENTRY><ADDRESS> offset </ADDRESS>
//                 <DIM> size </DIM><VERSION> 1.3.507 </VERSION><TARGET> BT </TARGET></ITEM>...</TOC>
//
// Names are kept trimmed and upper-cased as the system writes them ("TAPE\H1.WAV"); every file is
// opened through CoreFnam, so "\" separators and letter case map onto the Linux file system.
// No operation changes the process's current folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/CoreStrg.h"

class CorePool;
class CoreXmld;
class CoreXnod;

class CoreFsys {
 public:
  static constexpr const char* kSignature = "Ostrel2 ";
  static constexpr const char* kVersion = "1.3.507";
  static constexpr int32_t kHeaderSize = 44;

  // One ITEM of an archive index as it was read, before any check against the data.
  struct ArchiveEntry {
    CoreStrg name;        // ENTRY, trimmed
    int32_t address = 0;  // ADDRESS, from the end of the header
    int32_t size = 0;     // DIM
    bool complete = false;  // ENTRY, ADDRESS and DIM were all present
    bool inData = false;    // complete, not negative and inside the D bytes of data
  };

  // What the header and index of an archive file say.
  struct ArchiveInfo {
    CoreStrg version;        // the version text of the header
    int64_t fileSize = 0;
    int64_t dataSize = 0;    // D
    CoreStrg indexText;      // the index, indented
    std::vector<ArchiveEntry> entries;
    CoreStrg error;          // why the archive could not be read; "" when it could
  };

  // A null pool makes the manager keep a pool of its own (command-line tools).
  explicit CoreFsys(CorePool* pool);  // [control]
  ~CoreFsys();                        // closes every file and frees every cached block
  CoreFsys(const CoreFsys&) = delete;
  CoreFsys& operator=(const CoreFsys&) = delete;

  CorePool* pool() const { return pool_; }  // [any]

  // ---- folders and the last archive [control] ----
  void setBaseFolder(const CoreStrg& folder) { baseFolder_ = folder; }
  const CoreStrg& baseFolder() const { return baseFolder_; }
  const CoreStrg& indexText() const { return indexText_; }    // "NULL" before any archive
  const CoreStrg& archivePath() const { return archivePath_; }
  const CoreStrg& lastError() const { return lastError_; }    // why the last archive call failed

  // ---- item table [control] ----
  // Trims and upper-cases the name. With reuse: an item of exactly that name, else the first in
  // table order whose name contains the new name or is contained in it; otherwise (and always
  // without reuse) a new item. Answers the item's id.
  int32_t registerItem(const CoreStrg& name, bool reuse = true);
  // An item of exactly that (trimmed, upper-cased) name, or a new one; never by containment.
  int32_t registerExact(const CoreStrg& name);
  // The id registerItem(name, true) would answer, without making an item; -1 when none.
  int32_t findItem(const CoreStrg& name) const;
  CoreStrg nameOf(int32_t index, int32_t* id) const;  // "" and id -1 out of range
  int32_t itemCount() const { return static_cast<int32_t>(items_.size()); }

  // Reads base folder + name whole into the pool; false when the file does not open or the item
  // is cached and skipIfCached is set.
  bool cacheFile(int32_t id, bool skipIfCached);
  // Stores a pool copy of the bytes (closing the item's file), position 0.
  bool setData(int32_t id, const void* bytes, int32_t size, const CoreStrg& sourceArchive);
  CoreStrg textOf(int32_t id) const;        // cached bytes as text, NULs dropped; "" when not
  const uint8_t* dataOf(int32_t id) const;  // cached bytes, null when not cached
  int32_t sizeOf(int32_t id) const;         // cached byte count, 0 when not cached
  bool isCached(int32_t id) const;
  CoreStrg sourceOf(int32_t id) const;      // the archive the cached bytes came from

  // Cached: position 0. Otherwise opens base folder + name with the C mode and keeps it open.
  bool open(int32_t id, const char* mode);
  // One block of size bytes: 1 when it was read whole, else 0. A cached read whose block runs
  // past the end copies the bytes that are left, zero-fills the rest of the block, leaves the
  // position at the end and answers 0, as the same read from the file would.
  int32_t read(int32_t id, void* buffer, int32_t size);
  // Origins 0 (start), 1 (position), 2 (last byte, size - 1 for a cached item). Cached: a target
  // in 0 .. size - 1 becomes the position and 0 is answered; otherwise -1.
  int32_t seek(int32_t id, int32_t offset, int32_t origin);
  bool atEnd(int32_t id) const;
  void close(int32_t id);

  // Frees the bytes of every cached item with that extension (".WAV"); the items stay.
  void release(const CoreStrg& extension);
  // Loads again the source archives of the uncached items with that extension (cached items kept).
  bool fetchAgain(const CoreStrg& extension);
  void clear();                          // closes every file, frees every block, drops every item
  bool available(const CoreStrg& name);  // registered and cached, or the file opens

  // ---- archives [control] ----
  // Loads the entries selected by the filter ("0": all; otherwise entries containing it or
  // contained in it, upper-cased) as cached items of their own (exact names). The archive is read
  // through the source manager when one is given (its cached bytes or its file), else from the
  // file. True when the archive was valid and every selected entry was read. A malformed archive
  // is logged and refused without reading beyond its real size.
  bool loadArchive(const CoreStrg& path, const CoreStrg& filter, bool skipCached,
                   CoreFsys* source = nullptr);
  // Writes every cached item in table order. The file is created under the path with its file
  // name upper-cased; the folders are kept as they are.
  bool saveArchive(const CoreStrg& path);
  // [any] The file saveArchive creates for a path: "/" separators, file name upper-cased.
  static CoreStrg archiveFileName(const CoreStrg& path);
  // Writes every cached item to base folder + name, making folders; ".XML" items are parsed and
  // written again as documents unless rewriteXml is off. Names that are absolute or climb out
  // with ".." are refused.
  bool unpack(bool rewriteXml = true);
  // Registers the name, caches the file (unless cached) and parses it; the new root or null.
  CoreXnod* loadDocument(const CoreStrg& name, CoreXmld& document);

  // [control] Header and index of an archive file, checked against its real size.
  static bool inspectArchive(const CoreStrg& path, ArchiveInfo& info);

  // ---- file utilities [any] ----
  // The first of folder and the alternatives in which the file opens; "" and false when none.
  static bool locate(const CoreStrg& folder, const std::vector<CoreStrg>& alternatives,
                     const CoreStrg& fileName, CoreStrg* found);
  static bool fileExists(const CoreStrg& folder, const CoreStrg& fileName);
  // Files of the folder matching the pattern, then (unless folderPattern is "0") subfolders
  // matching folderPattern that do not begin with "."; each group in byte order, names only.
  // Reads the folder by iteration: the current folder of the process is never changed.
  static std::vector<CoreStrg> listFolder(const CoreStrg& folder, const CoreStrg& pattern,
                                          const CoreStrg& folderPattern);
  // Last-write time as local seconds since 1970 (comparable); 0 when the file is missing.
  static int64_t modificationTime(const CoreStrg& path);
  // Creates every folder along the path up to its last separator ("\" or "/"): "A\B\" and
  // "A\B\FILE.XML" both make A and A\B. True when that folder exists afterwards.
  static bool makeFolders(const CoreStrg& path);
  // Whether an item name stays inside the folder it is written to: not absolute, no "..".
  static bool isSafeName(const CoreStrg& name);

 private:
  struct Item {
    int32_t id = 0;
    CoreStrg name;
    CoreStrg mode;
    uint8_t* data = nullptr;
    int32_t size = 0;
    bool cached = false;
    int32_t position = 0;
    FILE* file = nullptr;
    bool open = false;
    CoreStrg sourceArchive;
  };

  Item* item(int32_t id);
  const Item* item(int32_t id) const;
  int32_t append(const CoreStrg& key);
  void dropData(Item& it);
  void closeFile(Item& it);
  void adopt(Item& it, uint8_t* block, int32_t size, const CoreStrg& sourceArchive);
  std::string pathOf(const Item& it) const;
  bool fail(const CoreStrg& why);

  CoreStrg baseFolder_;
  CoreStrg indexText_{"NULL"};
  CoreStrg archivePath_;
  CoreStrg lastError_;
  std::vector<std::unique_ptr<Item>> items_;
  std::unordered_map<std::string, int32_t> byName_;  // first index of every exact name
  std::unordered_map<int32_t, int32_t> byId_;        // index of every id
  int32_t nextId_ = 0;
  std::unique_ptr<CorePool> ownPool_;
  CorePool* pool_;
};
