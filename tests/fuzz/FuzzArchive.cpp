// Fuzzes the archive loader with arbitrary bytes, from memory and from a file. Whatever loads
// must lie inside the input, and saving it and loading it again must give back the same items.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string.h>
#include <string>

#include "base/CorePool.h"
#include "docstore/CoreFsys.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::string scratch(const char* what) {
  return "/tmp/ostrel-fuzz-" + std::to_string(::getpid()) + "-" + what + ".krv";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  CorePool pool;
  {
    CoreFsys source(&pool);
    const int32_t archive = source.registerItem(CoreStrg("FUZZ.KRV"));
    source.setData(archive, data, static_cast<int32_t>(size), CoreStrg(""));

    CoreFsys loaded(&pool);
    loaded.loadArchive(CoreStrg("FUZZ.KRV"), CoreStrg("0"), false, &source);
    int64_t total = 0;
    for (int32_t i = 0; i < loaded.itemCount(); ++i) {
      int32_t id;
      loaded.nameOf(i, &id);
      check(loaded.sizeOf(id) >= 0 && static_cast<size_t>(loaded.sizeOf(id)) <= size);
      if (loaded.isCached(id)) {
        const uint8_t* bytes = loaded.dataOf(id);
        check(bytes != nullptr);
        total += loaded.sizeOf(id);
        // The bytes are somewhere in the input.
        if (loaded.sizeOf(id) > 0)
          check(::memmem(data, size, bytes, static_cast<size_t>(loaded.sizeOf(id))) != nullptr);
        char b[7];
        loaded.open(id, "rb");
        loaded.seek(id, 0, 2);
        loaded.read(id, b, sizeof b);
        check(loaded.atEnd(id));
      }
    }

    // Entries may share bytes, but never more of them than the data the header announced.
    check(total <= static_cast<int64_t>(size) * (loaded.itemCount() > 0 ? loaded.itemCount() : 1));

    // The filtered load takes a subset.
    CoreFsys filtered(&pool);
    filtered.loadArchive(CoreStrg("FUZZ.KRV"), CoreStrg(".WAV"), false, &source);
    check(filtered.itemCount() <= loaded.itemCount());

    // Save and load again: the same items with the same bytes.
    const std::string path = scratch("save");
    if (loaded.saveArchive(CoreStrg(path.c_str()))) {
      const CoreStrg written = CoreFsys::archiveFileName(CoreStrg(path.c_str()));
      CoreFsys back(&pool);
      check(back.loadArchive(written, CoreStrg("0"), false));
      int32_t cached = 0;
      for (int32_t i = 0; i < loaded.itemCount(); ++i) {
        int32_t id;
        const CoreStrg name = loaded.nameOf(i, &id);
        if (!loaded.isCached(id)) continue;
        ++cached;
        const int32_t other = back.registerExact(name);
        check(back.isCached(other) && back.sizeOf(other) == loaded.sizeOf(id));
        check(loaded.sizeOf(id) == 0 ||
              std::memcmp(back.dataOf(other), loaded.dataOf(id), static_cast<size_t>(loaded.sizeOf(id))) == 0);
      }
      check(back.itemCount() == cached);
      std::remove(written.text());
    }
  }
  check(pool.blockCount() == 0);

  // The same bytes as a file.
  const std::string path = scratch("read");
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    CoreFsys::ArchiveInfo info;
    CoreFsys::inspectArchive(CoreStrg(path.c_str()), info);
    CoreFsys files(&pool);
    files.loadArchive(CoreStrg(path.c_str()), CoreStrg("0"), false);
    std::remove(path.c_str());
  }
  return 0;
}
