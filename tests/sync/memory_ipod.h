#pragma once

// An iPod and a music folder on the in-memory file system.

#include <gtest/gtest.h>

#include <string>

#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "track/track_info.h"

namespace tunewell::testing {

inline constexpr char kIPodRoot[] = "/ipod/";
inline constexpr char kDbPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";
inline constexpr char kSdPath[] = "/ipod/iPod_Control/iTunes/iTunesSD";
inline constexpr char kLockPath[] = "/ipod/iPod_Control/iTunes/.tunewell.lock";

// An empty database and `folders` music folders (F00...).
inline void MakeIPod(MemoryEnv& env, int folders = 3, bool shuffle = false) {
  ASSERT_TRUE(env.AddFile(kDbPath, BuildEmptyITunesDb()).ok());
  if (shuffle) {
    ASSERT_TRUE(env.AddFile(kSdPath, BuildEmptyITunesSd()).ok());
  }
  for (int i = 0; i < folders; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%02d", i);
    ASSERT_TRUE(env.AddFolder(std::string("/ipod/iPod_Control/Music/") + name).ok());
  }
}

// A source file of `size` bytes at /music/<name>.mp3 and a track that names it.
inline std::unique_ptr<TrackInfo> AddSource(MemoryEnv& env, const std::string& name,
                                            std::u16string artist, std::u16string title,
                                            size_t size = 1000) {
  const std::string path = "/music/" + name + ".mp3";
  EXPECT_TRUE(env.AddFile(path, std::string(size, 'm')).ok());
  auto track = std::make_unique<TrackInfo>();
  track->path = NarrowToWide(path);
  track->artist = std::move(artist);
  track->title = std::move(title);
  track->album = u"Album";
  track->fileSize = static_cast<int32_t>(size);
  track->kind = std::u16string(kMpegAudioFileKind);
  return track;
}

inline TrackArray ArrayOf(const OwnedTracks& owned) {
  TrackArray array;
  for (const auto& t : owned) array.push_back(t.get());
  return array;
}

// The titles on the iPod in display order.
inline std::vector<std::u16string> TitlesOnIPod(MemoryEnv& env) {
  IPodDatabase ipod(env, kIPodRoot);
  OwnedTracks tracks;
  EXPECT_TRUE(ipod.ReadTrackList(&tracks).ok());
  std::vector<std::u16string> titles;
  for (const auto& t : tracks) titles.push_back(t->title);
  return titles;
}

// Everything on the volume but the lock file, which a run leaves behind by design.
inline MemoryEnv::Snapshot SnapshotWithoutLock(const MemoryEnv& env) {
  MemoryEnv::Snapshot snapshot = env.TakeSnapshot();
  std::erase_if(snapshot.files,
                [](const auto& file) { return file.first.ends_with(".tunewell.lock"); });
  return snapshot;
}

}  // namespace tunewell::testing
