// A real small file system for full-disk tests: a tmpfs of a given size mounted on a fresh folder,
// unmounted when the test ends. Mounting needs the right to mount; without it the test skips.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

class SmallDisk {
public:
  // Mounts on Folder (made when missing) a tmpfs that holds Bytes.
  SmallDisk(const std::string& folder, std::size_t bytes) : FFolder(folder) {
    std::filesystem::create_directories(folder);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0) FMounted = true;
    else FWhy = "cannot mount a small tmpfs on " + folder + " (" + std::strerror(errno) + "): needs the right to mount";
  }
  ~SmallDisk() {
    if (FMounted) ::umount2(FFolder.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return FMounted; }
  const std::string& Why() const { return FWhy; }

private:
  std::string FFolder;
  bool FMounted = false;
  std::string FWhy;
};

#define SKIP_UNLESS_MOUNTED(disk) \
  if (!(disk).Mounted()) GTEST_SKIP() << (disk).Why()
