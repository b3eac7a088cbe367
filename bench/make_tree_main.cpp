// hl_bench_make_tree DEST [FILES]
//
// Writes a reproducible synthetic tree at DEST (which must not exist) shaped like nested
// node_modules folders: about FILES files (default 250000) in packages of a few folders each,
// nested up to three levels, with ".bin" folders of symbolic links, hard links between packages
// (as content-addressed stores make them) and a few large sparse files. The same arguments always
// give the same tree.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: a fixed, portable sequence (the standard distributions are not).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // In [low, high].
  std::uint64_t between(std::uint64_t low, std::uint64_t high) {
    return low + next() % (high - low + 1);
  }

 private:
  std::uint64_t state_;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "hl_bench_make_tree: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

class Generator {
 public:
  explicit Generator(std::uint64_t target) : target_(target), random_(0x48617262ULL) {
    content_.assign(128 * 1024, 'x');
  }

  void run(const std::string& dest) {
    makeFolder(dest);
    const std::string modules = dest + "/node_modules";
    makeFolder(modules);
    std::vector<std::string> names;
    for (int i = 0; files_ < target_; ++i) {
      names.push_back("pkg-" + std::to_string(i));
      makePackage(modules + "/" + names.back(), 0);
    }
    makeBin(modules, names);
    std::printf("files=%llu folders=%llu hardlinks=%llu symlinks=%llu sparse=%llu\n",
                static_cast<unsigned long long>(files_), static_cast<unsigned long long>(folders_),
                static_cast<unsigned long long>(hardLinks_),
                static_cast<unsigned long long>(symLinks_),
                static_cast<unsigned long long>(sparse_));
  }

 private:
  void makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0) fail("cannot create " + path);
    ++folders_;
  }

  std::uint64_t fileSize() {
    const std::uint64_t roll = random_.between(0, 99);
    if (roll < 75) return random_.between(100, 3000);
    if (roll < 97) return random_.between(3000, 16000);
    return random_.between(16000, 100000);
  }

  void makeFile(const std::string& path) {
    ++files_;
    // Every 64th file on average is another name for a file of an earlier package.
    if (recent_.size() >= 64 && random_.between(0, 63) == 0) {
      const std::string& existing = recent_[random_.between(0, recent_.size() - 1)];
      if (::link(existing.c_str(), path.c_str()) != 0) fail("cannot link " + path);
      ++hardLinks_;
      return;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot create " + path);
    if (files_ % 20000 == 0) {
      // Large logical size, one block of data.
      if (::write(fd, content_.data(), 4096) != 4096 || ::ftruncate(fd, 256LL << 20) != 0) {
        fail("cannot write " + path);
      }
      ++sparse_;
    } else {
      std::uint64_t left = fileSize();
      while (left > 0) {
        const std::size_t chunk = left < content_.size() ? left : content_.size();
        if (::write(fd, content_.data(), chunk) != static_cast<ssize_t>(chunk)) {
          fail("cannot write " + path);
        }
        left -= chunk;
      }
    }
    ::close(fd);
    if (recent_.size() < 1024) {
      recent_.push_back(path);
    } else {
      recent_[random_.between(0, recent_.size() - 1)] = path;
    }
  }

  void makeFiles(const std::string& folder, std::uint64_t count, const char* extension) {
    for (std::uint64_t i = 0; i < count; ++i) {
      makeFile(folder + "/file-" + std::to_string(i) + extension);
    }
  }

  void makeBin(const std::string& modules, const std::vector<std::string>& packages) {
    const std::string bin = modules + "/.bin";
    makeFolder(bin);
    for (const std::string& name : packages) {
      if (random_.between(0, 3) != 0) continue;
      const std::string link = bin + "/" + name;
      if (::symlink(("../" + name + "/index.js").c_str(), link.c_str()) != 0) {
        fail("cannot link " + link);
      }
      ++symLinks_;
    }
  }

  void makePackage(const std::string& path, int depth) {
    makeFolder(path);
    makeFile(path + "/package.json");
    makeFile(path + "/README.md");
    makeFile(path + "/LICENSE");
    makeFile(path + "/index.js");
    makeFolder(path + "/lib");
    makeFiles(path + "/lib", random_.between(40, 220), ".js");
    makeFolder(path + "/dist");
    makeFiles(path + "/dist", random_.between(40, 220), ".mjs");
    if (random_.between(0, 1) == 0) {
      makeFolder(path + "/types");
      makeFiles(path + "/types", random_.between(5, 40), ".d.ts");
    }
    if (depth < 3 && random_.between(0, 3) == 0) {
      const std::string modules = path + "/node_modules";
      makeFolder(modules);
      std::vector<std::string> names;
      const std::uint64_t count = random_.between(1, 5);
      for (std::uint64_t i = 0; i < count; ++i) {
        names.push_back("dep-" + std::to_string(i));
        makePackage(modules + "/" + names.back(), depth + 1);
      }
      makeBin(modules, names);
    }
  }

  std::uint64_t target_;
  Random random_;
  std::string content_;
  std::vector<std::string> recent_;
  std::uint64_t files_ = 0;
  std::uint64_t folders_ = 0;
  std::uint64_t hardLinks_ = 0;
  std::uint64_t symLinks_ = 0;
  std::uint64_t sparse_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: hl_bench_make_tree DEST [FILES]\n");
    return 2;
  }
  std::uint64_t target = 250000;
  if (argc == 3) {
    char* end = nullptr;
    target = std::strtoull(argv[2], &end, 10);
    if (!end || *end != '\0' || target == 0) {
      std::fprintf(stderr, "hl_bench_make_tree: FILES must be a positive number\n");
      return 2;
    }
  }
  struct stat existing;
  if (::lstat(argv[1], &existing) == 0) {
    std::fprintf(stderr, "hl_bench_make_tree: %s already exists\n", argv[1]);
    return 1;
  }
  Generator(target).run(argv[1]);
  return 0;
}
