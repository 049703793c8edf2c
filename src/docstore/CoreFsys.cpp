#include "docstore/CoreFsys.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "base/CoreAnsx.h"
#include "base/CoreFnam.h"
#include "base/CoreLogr.h"
#include "base/CorePool.h"
#include "docstore/CoreXmld.h"
#include "docstore/CoreXnod.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Opens a path through the name resolver; a folder is not a file, whatever the C library says.
FILE* openPath(const std::string& path, const char* mode) {
  FILE* f = std::fopen(CoreFnam::resolve(path).c_str(), mode);
  if (!f) return nullptr;
  struct stat st;
  if (::fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return f;
}

bool opensForReading(const std::string& path) {
  FileHandle f(openPath(path, "rb"));
  return f != nullptr;
}

// The size of an open regular file; -1 for anything else (pipes, devices).
int64_t regularSize(FILE* f) {
  struct stat st;
  if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

// The bytes of an archive: an open file or a cached block. Every read is checked against the
// real size, so nothing an index says can make it read or allocate beyond it.
class ArchiveSource {
 public:
  ArchiveSource(const uint8_t* data, int64_t size) : data_(data), file_(nullptr), size_(size) {}
  ArchiveSource(FILE* file, int64_t size) : data_(nullptr), file_(file), size_(size) {}

  int64_t size() const { return size_; }

  bool readAt(int64_t offset, void* destination, int64_t count) const {
    if (offset < 0 || count < 0 || offset > size_ || count > size_ - offset) return false;
    if (count == 0) return true;
    if (data_) {
      std::memcpy(destination, data_ + offset, static_cast<size_t>(count));
      return true;
    }
    if (::fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(destination, 1, static_cast<size_t>(count), file_) ==
           static_cast<size_t>(count);
  }

 private:
  const uint8_t* data_;
  FILE* file_;
  int64_t size_;
};

bool hasElementValue(const CoreXnod& item, const char* tag) {
  const CoreXnod* e = item.findChild(CoreStrg(tag));
  return e && e->childCount() > 0;
}

// Reads the header and the index of an archive into info; false with info.error set when the
// archive is not one or contradicts its own size.
bool readIndex(const ArchiveSource& source, CoreFsys::ArchiveInfo& info) {
  info = CoreFsys::ArchiveInfo();
  info.fileSize = source.size();
  unsigned char header[CoreFsys::kHeaderSize];
  if (source.size() < CoreFsys::kHeaderSize || !source.readAt(0, header, sizeof header)) {
    info.error = CoreStrg("header too short (") + CoreStrg::fromLong(static_cast<long>(source.size())) +
                 " bytes, 44 needed)";
    return false;
  }
  if (std::memcmp(header, CoreFsys::kSignature, 8) != 0) {
    info.error = "not an archive (bad signature)";
    return false;
  }
  char version[33] = {};
  std::memcpy(version, header + 8, 32);
  info.version = CoreStrg(static_cast<const char*>(version));
  const uint32_t d = static_cast<uint32_t>(header[40]) | static_cast<uint32_t>(header[41]) << 8 |
                     static_cast<uint32_t>(header[42]) << 16 |
                     static_cast<uint32_t>(header[43]) << 24;
  info.dataSize = d;
  const int64_t indexAt = CoreFsys::kHeaderSize + static_cast<int64_t>(d);
  if (indexAt > source.size()) {
    info.error = CoreStrg("item data of ") + CoreStrg::fromULong(d) +
                 " bytes runs past the end of the file (" +
                 CoreStrg::fromLong(static_cast<long>(source.size())) + " bytes)";
    return false;
  }
  std::string indexBytes(static_cast<size_t>(source.size() - indexAt), '\0');
  if (!source.readAt(indexAt, indexBytes.data(), static_cast<int64_t>(indexBytes.size()))) {
    info.error = "index cannot be read";
    return false;
  }
  CoreXmld document;
  try {
    document.parseText(indexBytes.data(), indexBytes.size());
  } catch (const CoreAnsx&) {
    info.error = "index is not a readable document";
    return false;
  }
  const CoreXnod* toc = document.root() ? document.root()->findChild(CoreStrg("TOC")) : nullptr;
  if (!toc) {
    info.error = "index has no TOC";
    return false;
  }
  info.indexText = document.serialize(true, false);
  for (int32_t i = 0; i < toc->childCount(); ++i) {
    const CoreXnod& item = *toc->child(i);
    if (!(item.name().key() == "ITEM")) continue;
    CoreFsys::ArchiveEntry e;
    e.name = item.readText(CoreStrg("ENTRY"));
    e.address = item.readInteger(CoreStrg("ADDRESS"));
    e.size = item.readInteger(CoreStrg("DIM"));
    e.complete = !e.name.empty() && hasElementValue(item, "ADDRESS") && hasElementValue(item, "DIM");
    e.inData = e.complete && e.address >= 0 && e.size >= 0 &&
               static_cast<int64_t>(e.address) + e.size <= info.dataSize;
    info.entries.push_back(std::move(e));
  }
  return true;
}

CoreStrg describe(const CoreFsys::ArchiveEntry& e) {
  if (!e.complete)
    return CoreStrg("entry '") + e.name + "' lacks its name, ADDRESS or DIM";
  return CoreStrg("entry '") + e.name + "' (address " + CoreStrg(e.address) + ", size " +
         CoreStrg(e.size) + ") lies outside the item data";
}

bool writeAll(FILE* f, const void* bytes, size_t count) {
  return count == 0 || std::fwrite(bytes, 1, count, f) == count;
}

}  // namespace

CoreFsys::CoreFsys(CorePool* pool) : pool_(pool) {
  if (!pool_) {
    ownPool_ = std::make_unique<CorePool>();
    pool_ = ownPool_.get();
  }
}

CoreFsys::~CoreFsys() { clear(); }

// ---- item table ----

CoreFsys::Item* CoreFsys::item(int32_t id) {
  const auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : items_[static_cast<size_t>(found->second)].get();
}

const CoreFsys::Item* CoreFsys::item(int32_t id) const {
  const auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : items_[static_cast<size_t>(found->second)].get();
}

int32_t CoreFsys::append(const CoreStrg& key) {
  if (items_.empty()) items_.reserve(10000);
  // Identifiers count up and wrap to 0; one still in use after a wrap is passed over.
  int32_t id = nextId_;
  while (byId_.count(id)) id = id == INT32_MAX ? 0 : id + 1;
  nextId_ = id == INT32_MAX ? 0 : id + 1;
  auto it = std::make_unique<Item>();
  it->id = id;
  it->name = key;
  const int32_t index = static_cast<int32_t>(items_.size());
  items_.push_back(std::move(it));
  byName_.emplace(key.str(), index);
  byId_[id] = index;
  return id;
}

int32_t CoreFsys::findItem(const CoreStrg& name) const {
  const CoreStrg key = name.key();
  const auto exact = byName_.find(key.str());
  if (exact != byName_.end()) return items_[static_cast<size_t>(exact->second)]->id;
  // A short name finds an item stored under a longer path ("VOX.WAV" in "LEAD VOX.WAV") and
  // the other way round; an empty name finds only an item named "".
  if (key.empty()) return -1;
  for (const auto& it : items_)
    if (!it->name.empty() && (it->name.contains(key) || key.contains(it->name))) return it->id;
  return -1;
}

int32_t CoreFsys::registerItem(const CoreStrg& name, bool reuse) {
  if (reuse) {
    const int32_t id = findItem(name);
    if (id >= 0) return id;
  }
  return append(name.key());
}

int32_t CoreFsys::registerExact(const CoreStrg& name) {
  const CoreStrg key = name.key();
  const auto exact = byName_.find(key.str());
  if (exact != byName_.end()) return items_[static_cast<size_t>(exact->second)]->id;
  return append(key);
}

CoreStrg CoreFsys::nameOf(int32_t index, int32_t* id) const {
  if (index < 0 || index >= itemCount()) {
    if (id) *id = -1;
    return CoreStrg("");
  }
  const Item& it = *items_[static_cast<size_t>(index)];
  if (id) *id = it.id;
  return it.name;
}

std::string CoreFsys::pathOf(const Item& it) const { return baseFolder_.str() + it.name.str(); }

void CoreFsys::closeFile(Item& it) {
  if (it.file) std::fclose(it.file);
  it.file = nullptr;
  it.open = false;
}

void CoreFsys::dropData(Item& it) {
  if (it.data) pool_->release(it.data);
  it.data = nullptr;
  it.size = 0;
  it.cached = false;
  it.position = 0;
}

void CoreFsys::adopt(Item& it, uint8_t* block, int32_t size, const CoreStrg& sourceArchive) {
  if (it.data) pool_->release(it.data);
  it.data = block;
  it.size = size;
  it.cached = true;
  it.position = 0;
  it.sourceArchive = sourceArchive;
}

bool CoreFsys::cacheFile(int32_t id, bool skipIfCached) {
  Item* it = item(id);
  if (!it || (skipIfCached && it->cached)) return false;
  FileHandle f(openPath(pathOf(*it), "rb"));
  if (!f) return false;
  const int64_t size = regularSize(f.get());
  if (size < 0 || size > INT32_MAX - CorePool::kSlack) {
    CoreLogr::error(CoreStrg("file cannot be held in memory: ") + it->name, 1);
    return false;
  }
  auto* block = static_cast<uint8_t*>(
      pool_->allocate(CorePool::kByte, static_cast<int32_t>(size), "FSYS", "setit"));
  const size_t got = std::fread(block, 1, static_cast<size_t>(size), f.get());
  adopt(*it, block, static_cast<int32_t>(got), it->sourceArchive);
  return true;
}

bool CoreFsys::setData(int32_t id, const void* bytes, int32_t size, const CoreStrg& sourceArchive) {
  Item* it = item(id);
  if (!it || size < 0 || (size > 0 && !bytes)) return false;
  closeFile(*it);
  auto* block = static_cast<uint8_t*>(pool_->allocate(CorePool::kByte, size, "FSYS", "setit"));
  if (size > 0) std::memcpy(block, bytes, static_cast<size_t>(size));
  adopt(*it, block, size, sourceArchive);
  return true;
}

CoreStrg CoreFsys::textOf(int32_t id) const {
  const Item* it = item(id);
  if (!it || !it->cached) return CoreStrg("");
  std::string text;
  text.reserve(static_cast<size_t>(it->size));
  for (int32_t i = 0; i < it->size; ++i)
    if (it->data[i] != 0) text.push_back(static_cast<char>(it->data[i]));
  return CoreStrg(std::string_view(text));
}

const uint8_t* CoreFsys::dataOf(int32_t id) const {
  const Item* it = item(id);
  return (it && it->cached) ? it->data : nullptr;
}

int32_t CoreFsys::sizeOf(int32_t id) const {
  const Item* it = item(id);
  return (it && it->cached) ? it->size : 0;
}

bool CoreFsys::isCached(int32_t id) const {
  const Item* it = item(id);
  return it && it->cached;
}

CoreStrg CoreFsys::sourceOf(int32_t id) const {
  const Item* it = item(id);
  return it ? it->sourceArchive : CoreStrg("");
}

bool CoreFsys::open(int32_t id, const char* mode) {
  Item* it = item(id);
  if (!it) return false;
  if (it->cached) {
    it->position = 0;
    return true;
  }
  closeFile(*it);
  it->mode = CoreStrg(mode ? mode : "rb");
  it->file = openPath(pathOf(*it), it->mode.text());
  it->open = it->file != nullptr;
  return it->open;
}

int32_t CoreFsys::read(int32_t id, void* buffer, int32_t size) {
  Item* it = item(id);
  if (!it || size < 0 || (size > 0 && !buffer)) return 0;
  if (it->cached) {
    if (it->position >= it->size) return 0;
    const int32_t left = it->size - it->position;
    if (size <= left) {
      if (size > 0) std::memcpy(buffer, it->data + it->position, static_cast<size_t>(size));
      it->position += size;
      return 1;
    }
    // The block runs past the end: what is there, then zeros; incomplete, like a file read.
    std::memcpy(buffer, it->data + it->position, static_cast<size_t>(left));
    std::memset(static_cast<char*>(buffer) + left, 0, static_cast<size_t>(size - left));
    it->position = it->size;
    return 0;
  }
  if (!it->open || size == 0) return 0;
  return std::fread(buffer, static_cast<size_t>(size), 1, it->file) == 1 ? 1 : 0;
}

int32_t CoreFsys::seek(int32_t id, int32_t offset, int32_t origin) {
  Item* it = item(id);
  if (!it || origin < 0 || origin > 2) return -1;
  if (it->cached) {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? it->position : int64_t{it->size} - 1;
    const int64_t target = base + offset;
    // A target before the start would make later reads copy from outside the data.
    if (target < 0 || target >= it->size) return -1;
    it->position = static_cast<int32_t>(target);
    return 0;
  }
  if (!it->open) return -1;
  const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  return std::fseek(it->file, offset, whence) == 0 ? 0 : -1;
}

bool CoreFsys::atEnd(int32_t id) const {
  const Item* it = item(id);
  if (!it) return false;
  if (it->cached) return it->position >= it->size;
  return !it->open || std::feof(it->file) != 0;
}

void CoreFsys::close(int32_t id) {
  if (Item* it = item(id)) closeFile(*it);
}

void CoreFsys::release(const CoreStrg& extension) {
  const CoreStrg wanted = extension.key();
  for (auto& it : items_) {
    if (!it->cached || !(it->name.extension() == wanted)) continue;
    closeFile(*it);
    dropData(*it);
  }
}

bool CoreFsys::fetchAgain(const CoreStrg& extension) {
  const CoreStrg wanted = extension.key();
  std::vector<CoreStrg> archives;
  for (const auto& it : items_) {
    if (it->cached || it->sourceArchive.empty() || !(it->name.extension() == wanted)) continue;
    if (std::find(archives.begin(), archives.end(), it->sourceArchive) == archives.end())
      archives.push_back(it->sourceArchive);
  }
  bool ok = true;
  for (const CoreStrg& a : archives) ok = loadArchive(a, CoreStrg("0"), true) && ok;
  return ok;
}

void CoreFsys::clear() {
  for (auto& it : items_) {
    closeFile(*it);
    dropData(*it);
  }
  items_.clear();
  byName_.clear();
  byId_.clear();
}

bool CoreFsys::available(const CoreStrg& name) {
  Item* it = item(registerItem(name));
  if (!it) return false;
  return it->cached || opensForReading(pathOf(*it));
}

// ---- archives ----

bool CoreFsys::fail(const CoreStrg& why) {
  lastError_ = why;
  CoreLogr::error(CoreStrg("archive ") + why, 1);
  return false;
}

bool CoreFsys::inspectArchive(const CoreStrg& path, ArchiveInfo& info) {
  info = ArchiveInfo();
  FileHandle f(openPath(path.str(), "rb"));
  if (!f) {
    info.error = "cannot be opened";
    return false;
  }
  const int64_t size = regularSize(f.get());
  if (size < 0) {
    info.error = "is not a regular file";
    return false;
  }
  return readIndex(ArchiveSource(f.get(), size), info);
}

bool CoreFsys::loadArchive(const CoreStrg& path, const CoreStrg& filter, bool skipCached,
                           CoreFsys* source) {
  archivePath_ = path;
  lastError_ = "";
  FileHandle file;
  const uint8_t* bytes = nullptr;
  int64_t size = 0;
  int32_t archiveId = -1;
  if (source) {
    archiveId = source->registerItem(path);
    const Item* a = source->item(archiveId);
    if (a && a->cached) {
      bytes = a->data;
      size = a->size;
    } else if (a) {
      file.reset(openPath(source->pathOf(*a), "rb"));
    }
  } else {
    file.reset(openPath(path.str(), "rb"));
  }
  if (!bytes) {
    if (!file) {
      lastError_ = path + ": cannot be opened";
      return false;  // the caller reports a file that does not open
    }
    size = regularSize(file.get());
    if (size < 0) return fail(path + ": is not a regular file");
  }
  const ArchiveSource archive = bytes ? ArchiveSource(bytes, size) : ArchiveSource(file.get(), size);

  ArchiveInfo info;
  if (!readIndex(archive, info)) return fail(path + ": " + info.error);
  indexText_ = info.indexText;

  const bool all = filter == "0";
  const std::string wanted = filter.key().str();
  bool ok = true;
  try {
    for (const ArchiveEntry& e : info.entries) {
      const std::string entry = e.name.key().str();
      if (!all && wanted.find(entry) == std::string::npos && entry.find(wanted) == std::string::npos)
        continue;
      if (!e.inData) {
        ok = fail(path + ": " + describe(e));
        continue;
      }
      // Every entry is an item of its own: a containment match would fold "KICK.WAV" into
      // "BIGKICK.WAV".
      const int32_t id = registerExact(e.name);
      if (source == this && id == archiveId) {
        ok = fail(path + ": entry '" + e.name + "' names the archive itself");
        continue;
      }
      Item* it = item(id);
      if (skipCached && it->cached) continue;
      auto* block = static_cast<uint8_t*>(pool_->allocate(CorePool::kByte, e.size, "FSYS", "loada"));
      if (!archive.readAt(kHeaderSize + int64_t{e.address}, block, e.size)) {
        pool_->release(block);
        ok = fail(path + ": entry '" + e.name + "' cannot be read");
        continue;
      }
      closeFile(*it);
      adopt(*it, block, e.size, path);
    }
  } catch (const CoreAnsx&) {
    return fail(path + ": out of memory");
  }
  return ok;
}

CoreStrg CoreFsys::archiveFileName(const CoreStrg& path) {
  // The file name is upper-cased as the system names its archives; the folders are kept as
  // they are (upper-casing "/home/..." would name a folder that does not exist).
  const std::string target = CoreFnam::forwardSlashes(path.text());
  const size_t slash = target.rfind('/');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  return CoreStrg(std::string_view(target.substr(0, nameAt))) +
         CoreStrg(std::string_view(target).substr(nameAt)).upper();
}

bool CoreFsys::saveArchive(const CoreStrg& path) {
  lastError_ = "";
  int64_t total = 0;
  for (const auto& it : items_)
    if (it->cached) total += it->size;
  if (total > INT32_MAX) return fail(path + ": items too large for one archive");

  const std::string target = archiveFileName(path).str();

  unsigned char header[kHeaderSize] = {};
  std::memcpy(header, "Ostrel2 1.3.507", 15);
  const auto d = static_cast<uint32_t>(total);
  header[40] = static_cast<unsigned char>(d & 0xFF);
  header[41] = static_cast<unsigned char>((d >> 8) & 0xFF);
  header[42] = static_cast<unsigned char>((d >> 16) & 0xFF);
  header[43] = static_cast<unsigned char>((d >> 24) & 0xFF);

  CoreXmld index;
  index.parseText(CoreStrg("<TOC> </TOC>"));
  CoreXnod* toc = index.root()->findChild(CoreStrg("TOC"));

  FileHandle f(openPath(target, "wb"));
  if (!f) return fail(path + ": cannot be created");
  bool written = writeAll(f.get(), header, sizeof header);
  int32_t address = 0;
  for (const auto& it : items_) {
    if (!it->cached) continue;
    written = written && writeAll(f.get(), it->data, static_cast<size_t>(it->size));
    CoreXnod* entry = toc->addChild(CoreXnod::makeElement(CoreStrg("ITEM")));
    entry->addChild(CoreXnod::makeValue(CoreStrg("ENTRY"), it->name));
    auto number = [entry](const char* tag, int32_t n) {
      CoreXnod* e = entry->addChild(CoreXnod::makeElement(CoreStrg(tag)));
      e->addChild(CoreXnod::makeInteger(n));
    };
    number("ADDRESS", address);
    number("DIM", it->size);
    entry->addChild(CoreXnod::makeValue(CoreStrg("VERSION"), CoreStrg(kVersion)));
    entry->addChild(CoreXnod::makeValue(CoreStrg("TARGET"), CoreStrg("BT")));
    address += it->size;
  }
  const std::string text = CoreXmld::serializeString(*index.root(), false, false);
  written = written && writeAll(f.get(), text.data(), text.size());
  const bool closed = std::fclose(f.release()) == 0;
  if (!written || !closed) return fail(path + ": could not be written");
  return true;
}

bool CoreFsys::isSafeName(const CoreStrg& name) {
  const std::string n = CoreFnam::forwardSlashes(name.text());
  if (n.empty() || n[0] == '/' || (n.size() >= 2 && n[1] == ':')) return false;
  size_t at = 0;
  while (at <= n.size()) {
    size_t slash = n.find('/', at);
    if (slash == std::string::npos) slash = n.size();
    if (n.compare(at, slash - at, "..") == 0 && slash - at == 2) return false;
    at = slash + 1;
  }
  return true;
}

bool CoreFsys::unpack(bool rewriteXml) {
  bool ok = true;
  for (const auto& it : items_) {
    if (!it->cached) continue;
    // An archive names its items; it must not be able to write outside the base folder.
    if (!isSafeName(it->name)) {
      ok = fail(CoreStrg("item name refused (outside the folder): ") + it->name);
      continue;
    }
    const std::string path = pathOf(*it);
    makeFolders(CoreStrg(std::string_view(path)));
    if (rewriteXml && it->name.extension() == ".XML") {
      CoreXmld document;
      try {
        document.parseText(reinterpret_cast<const char*>(it->data), static_cast<size_t>(it->size));
      } catch (const CoreAnsx&) {
        document.clear();  // not a document: written as it is below
      }
      if (document.root()) {
        if (!CoreXmld::saveFile(CoreStrg(std::string_view(path)),
                                CoreXmld::serializeString(*document.root(), true, false)))
          ok = fail(CoreStrg(std::string_view(path)) + ": cannot be written");
        continue;
      }
    }
    FileHandle f(openPath(path, "wb"));
    bool written = f && writeAll(f.get(), it->data, static_cast<size_t>(it->size));
    written = f && std::fclose(f.release()) == 0 && written;
    if (!written) ok = fail(CoreStrg(std::string_view(path)) + ": cannot be written");
  }
  return ok;
}

CoreXnod* CoreFsys::loadDocument(const CoreStrg& name, CoreXmld& document) {
  const int32_t id = registerItem(name);
  cacheFile(id, true);
  const Item* it = item(id);
  if (!it || !it->cached) {
    document.clear();
    return nullptr;
  }
  return document.parseText(reinterpret_cast<const char*>(it->data), static_cast<size_t>(it->size));
}

// ---- file utilities ----

bool CoreFsys::fileExists(const CoreStrg& folder, const CoreStrg& fileName) {
  return opensForReading(folder.str() + fileName.str());
}

bool CoreFsys::locate(const CoreStrg& folder, const std::vector<CoreStrg>& alternatives,
                      const CoreStrg& fileName, CoreStrg* found) {
  if (fileExists(folder, fileName)) {
    if (found) *found = folder;
    return true;
  }
  for (const CoreStrg& f : alternatives) {
    if (fileExists(f, fileName)) {
      if (found) *found = f;
      return true;
    }
  }
  if (found) *found = CoreStrg("");
  return false;
}

std::vector<CoreStrg> CoreFsys::listFolder(const CoreStrg& folder, const CoreStrg& pattern,
                                           const CoreStrg& folderPattern) {
  std::string dir = CoreFnam::resolve(folder.text());
  if (dir.empty()) dir = ".";
  std::vector<std::string> files, folders;
  const bool withFolders = !(folderPattern == "0");
  std::error_code ec;
  for (std::filesystem::directory_iterator i(dir, ec), end; !ec && i != end; i.increment(ec)) {
    const std::string name = i->path().filename().string();
    std::error_code typeError;
    if (i->is_directory(typeError)) {
      if (withFolders && name[0] != '.' && CoreFnam::matchesPattern(folderPattern.text(), name.c_str()))
        folders.push_back(name);
    } else if (i->is_regular_file(typeError)) {
      if (CoreFnam::matchesPattern(pattern.text(), name.c_str())) files.push_back(name);
    }
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  std::vector<CoreStrg> out;
  out.reserve(files.size() + folders.size());
  for (const std::string& f : files) out.emplace_back(std::string_view(f));
  for (const std::string& f : folders) out.emplace_back(std::string_view(f));
  return out;
}

int64_t CoreFsys::modificationTime(const CoreStrg& path) {
  struct stat st;
  if (::stat(CoreFnam::resolve(path.text()).c_str(), &st) != 0) return 0;
  const time_t t = st.st_mtime;
  struct tm local;
  if (!::localtime_r(&t, &local)) return static_cast<int64_t>(t);
  return static_cast<int64_t>(t) + local.tm_gmtoff;
}

bool CoreFsys::makeFolders(const CoreStrg& path) {
  const std::string p = CoreFnam::forwardSlashes(path.text());
  const size_t last = p.rfind('/');
  if (last == std::string::npos) return true;  // no folder in the path
  for (size_t i = 1; i <= last; ++i) {
    if (p[i] != '/') continue;
    const std::string folder = CoreFnam::resolve(p.substr(0, i));
    if (!CoreFnam::isFolder(folder)) ::mkdir(folder.c_str(), 0777);
  }
  return CoreFnam::isFolder(p.substr(0, last == 0 ? 1 : last));
}
