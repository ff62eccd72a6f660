// iPod locations and the music files they resolve to; music folders, drawn names and the track
// copy, on the in-memory file system, for a drive root and a mount folder alike; the eject's
// device lookup over a device tree of our own (the system's is the plug-in's eject event's); where
// the FireWire GUID comes from.

#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <utility>

#include "platform/memory/memory_env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "storage/device_tree.h"
#include "storage/firewire_guid.h"
#include "storage/ipod_location.h"
#include "storage/music_folders.h"
#include "storage/track_copy.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/recorders.h"

namespace tunewell {
namespace {

constexpr char kSep = kPathSeparator;

// For a drive root a location is the full path without its first two characters. Paths outside
// the root have none, nor has a name with a colon, which could not come back as the same path.
TEST(IPodLocationTest, RoundTripsForDriveAndMountRootsAndOnlyInsideThem) {
  const std::string mount = std::string(1, kSep) + "media" + kSep + "me" + kSep + "IPOD";
  for (const std::string& root : {std::string("E:") + kSep, mount, mount + kSep}) {
    for (const std::u16string name : {u"QKZA.mp3", u"\u00c6r\u00f8.mp3"}) {
      const std::string path = JoinPath(WithTrailingSeparator(root),
                                        {"iPod_Control", "Music", "F07", WideToNarrow(name)});
      std::u16string location;
      ASSERT_TRUE(LocationFromPath(root, path, &location).ok()) << root;
      EXPECT_EQ(location, u":iPod_Control:Music:F07:" + name) << root;
      EXPECT_EQ(PathFromLocation(root, location), path) << root;
    }
  }
  std::u16string location = u"unchanged";
  for (const std::string& path :
       {mount + "2" + kSep + "x.mp3", mount, mount + kSep, std::string("relative.mp3"),
        JoinPath(mount, {"iPod_Control", "a:b.mp3"})}) {
    EXPECT_EQ(LocationFromPath(mount + kSep, path, &location).code(),
              Status::Code::kInvalidArgument)
        << path;
  }
  EXPECT_EQ(location, u"unchanged");
}

// Every location, resolved or refused; refused ones leave the path untouched. No location may
// reach a file outside the music folders: iTunesDB, outside.mp3, or secret.mp3 elsewhere.
TEST(ResolveMusicFileTest, OnlyPlainFilesInsideTheMusicFoldersResolve) {
  namespace fs = std::filesystem;
  using Code = Status::Code;
  const fixture::TempFolder folder, outside_folder;
  const fs::path ipod = folder.path(), outside = outside_folder.path();
  const fs::path music = ipod / "iPod_Control" / "Music", secret = outside / "secret.mp3";
  for (const fs::path& file :
       {music / "F00" / "ABCD.mp3", ipod / "iPod_Control" / "iTunes" / "iTunesDB",
        ipod / "outside.mp3", secret}) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "bytes";
  }
  const std::u16string dotdots = u":iPod_Control:Music:F00:..:..:..:" +
                                 NarrowToWide(fs::relative(secret, music / "F00").generic_string());
#ifndef _WIN32
  fs::create_directory_symlink(outside, music / "F01");
  fs::create_symlink(secret, music / "F00" / "LINK.mp3");
#endif
  fs::create_directories(music / "F00" / "DIRX.mp3");
  const struct {
    std::u16string location;
    Code code = Code::kInvalidArgument;
  } cases[] = {
      {u":iPod_Control:Music:F00:ABCD.mp3", Code::kOk},
      {u":iPod_Control:Music:F00:GONE.mp3", Code::kNotFound},
      {u":iPod_Control:Music:F55:GONE.mp3", Code::kNotFound},
#ifndef _WIN32
      {u":iPod_Control:Music:F00:DIRX.mp3", Code::kRefused},
      {u":iPod_Control:Music:F01:secret.mp3", Code::kRefused},
      {u":iPod_Control:Music:F00:LINK.mp3", Code::kRefused},
#endif
      {u""},
      {u"iPod_Control:Music:F00:ABCD.mp3"},  // no leading colon
      {u":iPod_Control:iTunes:iTunesDB"},
      {u":iPod_Control:Music:..:iTunes:iTunesDB"},
      {u":iPod_Control:Music:F00:..:..:..:outside.mp3"},
      {u":iPod_Control:Music:.:..:iTunes:iTunesDB"},
      {u":iPod_Control:Music:F00:..."},
      {u":iPod_Control:Music:F00:ABCD.mp3."},
      {u":iPod_Control:Music:F00:/etc/passwd"},
      {u":iPod_Control:Music:F00:..\\..\\..\\outside.mp3"},
      {u":iPod_Control:Music:F00:C:\\Windows\\win.ini"},
      {u":iPod_Control:Music::F00:ABCD.mp3"},
      {u":iPod_Control:Music:F00:AB\nCD.mp3"},
      {std::u16string(u":iPod_Control:Music:F00:ABCD.mp3") + u'\0' + u":..:.."},
      {u":iPod_Control:Music"},
      {u":iPod_Control:Music:"},
      {u":" + NarrowToWide(secret.string())},
      {dotdots},
      {u":iPod_Control:Music:F00:\xD800.mp3"},  // no narrow form
  };
  for (const auto& c : cases) {
    std::string path = "untouched";
    const Status s = ResolveMusicFile(Env::Default(), folder.path(), c.location, &path);
    EXPECT_EQ(s.code(), c.code) << Utf16ToUtf8(c.location);
    if (c.code == Code::kInvalidArgument) {
      EXPECT_EQ(path, "untouched");
    }
  }
  std::string path;
  ASSERT_TRUE(ResolveMusicFile(Env::Default(), folder.path(), cases[0].location, &path).ok());
  EXPECT_EQ(path, (music / "F00" / "ABCD.mp3").string());
  // Other spellings of the first two names (FAT ignores case) lead to the iPod's own folders.
  EXPECT_TRUE(
      ResolveMusicFile(Env::Default(), folder.path(), u":IPOD_CONTROL:music:F00:ABCD.mp3", &path)
          .ok());
  EXPECT_EQ(path, (music / "F00" / "ABCD.mp3").string());
}

// Hands out the scripted numbers in order, then zeros; counts every draw.
struct ScriptedRandom : RandomSource {
  explicit ScriptedRandom(std::deque<int> s) : script(std::move(s)) {}
  // The draws that pick the folder of the first digit and the letters of the names after it.
  explicit ScriptedRandom(const std::string& pick) {
    for (char c : pick) script.push_back(c <= '9' ? c - '0' : c - 'A' + 26 * 7);  // letter mod 26
  }
  int Next() override {
    ++draws;
    if (script.empty()) return 0;
    const int r = script.front();
    script.pop_front();
    return r;
  }
  std::deque<int> script;
  int draws = 0;
};

constexpr char kSource[] = "/library/song.mp3";

class StorageTest : public ::testing::TestWithParam<std::string> {
 public:
  StorageTest() { Fresh(); }
  void Fresh() {
    env_ = std::make_unique<MemoryEnv>();
    ASSERT_TRUE(env_->AddFile(kSource, std::string(4000, 's')).ok());
  }
  const std::string& root() const { return GetParam(); }
  std::string Music(std::initializer_list<std::string_view> names = {}) const {
    std::string path = JoinPath(root(), {"iPod_Control", "Music"});
    return names.size() == 0 ? path : JoinPath(path, names);
  }
  void MakeFolders(int count) {
    for (int i = 0; i < count; ++i) {
      char name[8];
      std::snprintf(name, sizeof(name), "F%02d", i);
      ASSERT_TRUE(env_->AddFolder(Music({name})).ok());
    }
  }
  std::unique_ptr<MemoryEnv> env_;
  int64_t reserve_ = 0;  // for the next copy target
};

INSTANTIATE_TEST_SUITE_P(Roots, StorageTest, ::testing::Values("E:/", "/media/me/IPOD/"));

TEST_P(StorageTest, OnlyNumberedFoldersCount) {
  EXPECT_EQ(MusicFolderNumbers(*env_, root()).size(), 0u);
  MakeFolders(20);
  // Nothing else may make an F20 that does not exist choosable (a draw of 7 names F07, not F7).
  for (const char* file : {"Fnotes.txt", "F20"}) ASSERT_TRUE(env_->AddFile(Music({file}), "").ok());
  for (const char* folder : {"f21", "Fx", "F7"}) ASSERT_TRUE(env_->AddFolder(Music({folder})).ok());
  EXPECT_EQ(MusicFolderNumbers(*env_, root()).size(), 20u);
  EXPECT_EQ(MusicFolderNumbers(*env_, root().substr(0, root().size() - 1)).size(), 20u);
}

TEST(GenerateDirNameTest, AtLeastTwoDigitsOfTheDrawModuloTheCount) {
  const struct {
    int32_t count;
    int draw;
    const char* expected;
  } cases[] = {{5, 7, "F02"},      {5, 4, "F04"},      {20, 32767, "F07"},
               {120, 100, "F100"}, {120, 239, "F119"}, {120, 9, "F09"},
               {1, 32767, "F00"},  {0, 1, nullptr},    {-1, 1, nullptr}};
  for (const auto& c : cases) {
    ScriptedRandom random(std::deque<int>{c.draw});
    std::string path = "F";
    std::vector<int32_t> folders(static_cast<size_t>(std::max(c.count, 0)));
    std::iota(folders.begin(), folders.end(), 0);
    const Status s = GenerateDirName(folders, random, &path);
    EXPECT_EQ(path, c.expected ? c.expected : "F") << c.count << " " << c.draw;
    EXPECT_EQ(s.ok(), c.expected != nullptr);
    EXPECT_EQ(random.draws, c.expected ? 1 : 0);  // no folders: refused without drawing
  }
}

// Every outcome of a copy. Anything but Copied leaves the track and the volume as they were.
TEST_P(StorageTest, CopyOutcomes) {
  const auto held = [](StorageTest& t) { return t.Music({"F04", "HELD.mp3"}); };
  const struct {
    const char* name;
    std::string pick;  // the folder's digit and the names' letters drawn; "": zeros
    CopyResult result;
    int expected_draws;
    std::string location = "";  // where it lands, when copied
    int32_t size = 4000, count = 1;
    std::function<void(StorageTest&)> setup = {};
    std::string notice = "";
  } cases[] = {
      {"copied", "3QKZA", CopyResult::Copied, 5, "F03:QKZA.mp3"},
      // The tenth track of a list of ten still keeps the margin for all ten, and the room the
      // databases need.
      {"room just enough", "3QKZA", CopyResult::Copied, 5, "F03:QKZA.mp3", 4'000'000, 10,
       [](StorageTest& t) { t.env_->SetFreeBytes(4'520'001), t.reserve_ = 500'000; }},
      {"no room", "3QKZA", CopyResult::NoRoom, 0, "", 4'000'000, 10,
       [](StorageTest& t) { t.env_->SetFreeBytes(4'520'000), t.reserve_ = 500'000; }},
      {"unreadable free space", "", CopyResult::NoRoom, 0, "", 4000, 1,
       [](StorageTest& t) { t.env_->FailFreeBytes(true); }},
      // 2,000,000,000 + 2000 x 100,000 passes 2^31; wrapped, it would look like no need at all.
      {"need past 2^31", "", CopyResult::NoRoom, 0, "", 2'000'000'000, 100'000,
       [](StorageTest& t) { t.env_->SetFreeBytes(2'150'000'000); }},
      {"need below 2^31", "0ROOM", CopyResult::Copied, 5, "F00:ROOM.mp3", 2'000'000'000, 70'000,
       [](StorageTest& t) { t.env_->SetFreeBytes(2'150'000'000); }},
      {"the largest need", "", CopyResult::NoRoom, 0, "", INT32_MAX, INT32_MAX},
      // A negative size is nonsense and lowers nothing.
      {"negative size", "", CopyResult::NoRoom, 0, "", -2'000'000'000, 1,
       [](StorageTest& t) { t.env_->SetFreeBytes(2000); }},
      // Folder and name are drawn before the source is tried.
      {"source missing", "3ABCD", CopyResult::SourceMissing, 5, "", 4000, 1,
       [](StorageTest& t) { t.env_->Erase(kSource); },
       "Problem locating track.: Unable to locate file : /library/song.mp3"},
      {"source there but unreadable", "3ABCD", CopyResult::SourceMissing, 5, "", 4000, 1,
       [](StorageTest& t) { t.env_->Fail(MemoryEnv::Op::kProbeFile, kSource); },
       "Problem reading track.: Unable to read file : /library/song.mp3: injected failure of "
       "probe"},
      {"no music folders", "", CopyResult::NoMusicFolders, 0, "", 4000, 1,
       [](StorageTest& t) { t.env_->Erase(t.Music()); }},
      // Only the folders there are drawn: of F00 and F02, the second.
      {"deleted folders", "1ABCD", CopyResult::Copied, 5, "F02:ABCD.mp3", 4000, 1,
       [](StorageTest& t) { t.env_->Erase(t.Music({"F01"})), t.env_->Erase(t.Music({"F03"})); }},
      {"fails part-way", "2WXYZ", CopyResult::CopyFailed, 5, "", 4000, 1,
       [](StorageTest& t) { t.env_->FailCopyAfter(1500); }},
      {"fills up despite the reading", "2WXYZ", CopyResult::CopyFailed, 5, "", 4000, 1,
       [](StorageTest& t) {
         t.env_->SetCapacity(t.env_->UsedBytes() + 1000), t.env_->SetFreeBytes(1'000'000);
       }},
      {"source the player holds open", "0PLAY", CopyResult::Copied, 5, "F00:PLAY.mp3", 4000, 1,
       [](StorageTest& t) { t.env_->HoldSharedRead(kSource); }},
      // Taken names cost four draws each: by a folder, or by a file held without sharing, which
      // cannot even be opened to see it is there.
      {"names taken", "4ABCDHELDFREE", CopyResult::Copied, 13, "F04:FREE.mp3", 4000, 1,
       [&](StorageTest& t) {
         ASSERT_TRUE(t.env_->AddFolder(t.Music({"F04", "ABCD.mp3"})).ok());
         ASSERT_TRUE(t.env_->AddFile(held(t), "theirs").ok());
         t.env_->HoldExclusive(held(t));
       }},
      {"full folder", "", CopyResult::NoFreeName, 4 * kMaxNameAttempts + 1, "", 4000, 1,
       [](StorageTest& t) {
         ASSERT_TRUE(t.env_->AddFile(t.Music({"F00", "AAAA.mp3"}), "").ok());
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    MakeFolders(4);
    if (c.setup) c.setup(*this);
    CopyTarget ipod = CopyTarget::For(*env_, root());
    ipod.reserve = std::exchange(reserve_, 0);
    const MemoryEnv::Snapshot before = env_->TakeSnapshot();
    TrackInfo track;
    track.path = NarrowToWide(kSource);
    track.fileSize = c.size;
    ScriptedRandom random(c.pick);
    fixture::RecordingNotice notice;
    Status why;
    EXPECT_EQ(CopyTrackToIPod(ipod, track, c.count, random, notice, &why), c.result);
    EXPECT_EQ(random.draws, c.expected_draws);
    if (c.result == CopyResult::Copied) {
      EXPECT_TRUE(why.ok()) << why.ToString();
      EXPECT_EQ(track.path, u":iPod_Control:Music:" + NarrowToWide(c.location));
      EXPECT_EQ(env_->Contents(Music({c.location.substr(0, 3), c.location.substr(4)})),
                std::string(4000, 's'));
    } else {
      EXPECT_EQ(track.path, NarrowToWide(kSource));
      EXPECT_EQ(env_->TakeSnapshot(), before);
    }
    EXPECT_EQ(notice.shown,
              c.notice.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.notice});
    if (c.result == CopyResult::CopyFailed || c.result == CopyResult::NoMusicFolders) {
      EXPECT_FALSE(why.ok());
    }
    EXPECT_TRUE(!env_->Exists(held(*this)) || env_->Contents(held(*this)) == "theirs");
  }
}

// Names planned ahead are the ones that copies drawing their own take with the same draws, a
// name drawn twice too: the copy finds the first one's file there.
TEST_P(StorageTest, PlannedNamesAreTheOnesTheCopiesWouldDraw) {
  MakeFolders(4);
  CopyTarget target = CopyTarget::For(*env_, root());
  std::deque<std::string> planned;
  target.planned = &planned;
  ScriptedRandom planning("3QKZA3QKZAWXYZ1ABCD"), copying(planning.script);
  std::vector<std::u16string> plan;
  ASSERT_TRUE(PlanDestinations(target, 3, planning, &plan).ok());
  target.planned = nullptr;
  fixture::RecordingNotice notice;
  for (const std::u16string& location : plan) {
    TrackInfo track;
    track.path = NarrowToWide(kSource);
    ASSERT_EQ(CopyTrackToIPod(target, track, 3, copying, notice), CopyResult::Copied);
    EXPECT_EQ(track.path, location);
  }
  EXPECT_EQ(copying.draws, planning.draws);
}

// A device tree as Device Manager shows it, one node a line under its parent (one level up):
// removable devices, volumes with their mount ("" for none) and device number, disks with theirs.
// A node's device path is its id, a volume's name its mount.
enum FakeKind { kNode, kRemovable, kVolume, kDisk };
struct FakeNode {
  int depth = 0;
  std::string id = "";
  FakeKind kind = kNode;
  std::string mount = "";
  StorageNumber number = {};
};

class FakeTree : public DeviceTree {
 public:
  explicit FakeTree(std::vector<FakeNode> nodes) : nodes_(std::move(nodes)) {}
  bool InterfaceAt(DeviceClass kind, uint32_t index, std::string* path,
                   DeviceInstance* device) override {
    const auto wanted = kind == DeviceClass::kDisk ? kDisk : kVolume;
    for (size_t i = 0; i < nodes_.size(); ++i) {
      if (nodes_[i].kind != wanted || index-- != 0) continue;
      return *path = nodes_[i].id, *device = i + 1, true;
    }
    return false;
  }
  DeviceInstance Parent(DeviceInstance device) override {
    for (size_t up = device - 1; up-- > 0;) {
      if (nodes_[up].depth < At(device).depth) return static_cast<DeviceInstance>(up + 1);
    }
    return 0;
  }
  bool VolumeName(const std::string& mount_point, std::string* name) override {
    const FakeNode* n = Find(mount_point);
    return n != nullptr && !n->mount.empty() && (*name = n->mount, true);
  }
  bool StorageNumberOf(const std::string& path, StorageNumber* number) override {
    const FakeNode* n = Find(path + "\\");
    return n != nullptr && n->kind >= kVolume && (*number = n->number, true);
  }
  bool Removable(DeviceInstance device) override { return At(device).kind == kRemovable; }
  std::string InstanceId(DeviceInstance device) override { return At(device).id; }
  bool RequestEject(DeviceInstance device) override {
    return ejected.push_back(At(device).id), true;
  }
  std::vector<std::string> ejected;

 private:
  const FakeNode& At(DeviceInstance device) const { return nodes_.at(device - 1); }
  // The node mounted at `key`, or whose device path (its id) `key` is with a backslash added.
  const FakeNode* Find(const std::string& key) const {
    for (const FakeNode& n : nodes_) {
      if ((!n.mount.empty() && key == n.mount) || key == n.id + "\\") return &n;
    }
    return nullptr;
  }
  std::vector<FakeNode> nodes_;
};

constexpr StorageNumber kDisk0{7, 0}, kDisk1{7, 1}, kCdRom1{2, 1};  // FILE_DEVICE_DISK, _CD_ROM
constexpr char kXpIPod[] = "USB\\VID_05AC&PID_1209\\000A270012345678";
constexpr char kVistaIPod[] = "USB\\VID_05AC&PID_1261\\000A27001C8E4A12";
constexpr char kStick[] = "USB\\VID_0781&PID_5567\\4C53000112345678";

// XP: a volume on removable media hangs under its disk, under the USB device; a card reader's
// empty slot is listed with no volume mounted. (A fixed disk's volumes lie as from Vista on.)
const std::vector<FakeNode> kXpTree = {
    {0, "HTREE\\ROOT\\0"},
    {1, "USB\\ROOT_HUB20\\4&2B8E9BB&0"},
    {2, "USB\\VID_0BDA&PID_0151\\20071114173400000", kRemovable},
    {3, "USBSTOR\\DISK&VEN_GENERIC-&PROD_SD_MMC\\2007111417&0", kDisk, "", {7, 0}},
    {4, "STORAGE\\REMOVABLEMEDIA\\7&3A1D0B0&0&RM", kVolume, "", {7, 0}},
    {2, kXpIPod, kRemovable},
    {3, "USBSTOR\\DISK&VEN_APPLE&PROD_IPOD&REV_1.62\\000A270012345678&0", kDisk, "", kDisk1},
    {4, "STORAGE\\REMOVABLEMEDIA\\7&1C2B4D9&0&RM", kVolume, "E:\\", kDisk1}};

// Vista and later (and XP for USB disks that report fixed media): every volume hangs under the
// volume manager, whose parent is the root; only the device number leads to the disk. G: is a
// DVD drive numbered like the iPod's disk, in another type.
const std::vector<FakeNode> kVistaTree = {
    {0, "HTREE\\ROOT\\0"},
    {1, "ROOT\\VOLMGR\\0000"},
    {2, "STORAGE\\VOLUME\\{5B1E0D2A-7C3F-11DC}#0000000000100000", kVolume, "C:\\", kDisk0},
    {2, "STORAGE\\VOLUME\\_??_USBSTOR#DISK&VEN_APPLE&PROD_IPOD", kVolume, "E:\\", kDisk1},
    {2, "STORAGE\\VOLUME\\_??_IDE#CDROMHL-DT-ST_DVDRAM_GSA-H62N", kVolume, "G:\\", kCdRom1},
    {1, "PCI\\VEN_8086&DEV_2929\\3&21436425&0&FA"},
    {2, "SCSI\\DISK&VEN_&PROD_ST3500418AS\\4&3B7A1AB&0&000000", kDisk, "", kDisk0},
    {1, "USB\\ROOT_HUB20\\4&1D3F5E46&0"},
    {2, kVistaIPod, kRemovable},
    {3, "USBSTOR\\DISK&VEN_APPLE&PROD_IPOD&REV_1.62\\000A27001C8E4A12&0", kDisk, "", kDisk1},
    {2, kStick, kRemovable},
    {3, "USBSTOR\\DISK&VEN_SANDISK\\4C530001&0", kDisk, "", {7, 2}},
    {1, "STORAGE\\VOLUME\\_??_USBSTOR#DISK&VEN_SANDISK", kVolume, "H:\\", {7, 2}}};

// The USB device under the iPod's volume, both ways, and its serial number where it is Apple's;
// nothing for a fixed disk, a DVD drive, a root with no volume or a root that is not one.
TEST(DeviceLookupTest, EjectsTheRemovableDeviceThatCarriesTheVolume) {
  // root, device, serial
  using Cases = std::vector<std::tuple<std::string, std::string, std::string>>;
  const std::pair<const std::vector<FakeNode>*, Cases> shapes[] = {
      {&kXpTree,
       {{"E:\\", kXpIPod, "000A270012345678"}, {"F:\\", "", ""}, {"E:", "", ""}, {"", "", ""}}},
      {&kVistaTree,
       {{"C:\\", "", ""},
        {"G:\\", "", ""},
        {"E:\\", kVistaIPod, "000A27001C8E4A12"},
        {"H:\\", kStick, ""}}}};
  for (const auto& [shape, cases] : shapes) {
    for (const auto& [root, device, serial] : cases) {
      SCOPED_TRACE(root + (shape == &kXpTree ? " on XP" : " on Vista"));
      FakeTree tree(*shape);
      EXPECT_EQ(FindIPodDevice(tree, root).instanceId, device);
      EXPECT_EQ(UsbSerialFromDeviceTree(tree, root), serial);
      EXPECT_EQ(EjectIPod(tree, root).ok(), !device.empty());
      EXPECT_EQ(tree.ejected, std::vector<std::string>(!device.empty(), device));
    }
  }
}

// The GUID given, else SysInfoExtended's, else SysInfo's, else the USB serial number; a value
// that is not 16 hexadecimal digits is passed over, or for the option refused.
TEST(FireWireGuidTest, SourcesInTheirOrder) {
  const std::string ext = "<dict>\n<key>FireWireGUID</key>\n  <string>000A2700AAAAAAAA</string>";
  const struct {
    std::string given, extended, sysinfo, usb;
    const char* guid;  // "" NotFound, nullptr InvalidArgument
    const char* source;
  } cases[] = {
      {"000a2700bbbbbbbb", ext, "FirewireGuid: 0x000A2700CCCCCCCC", "000A2700DDDDDDDD",
       "000A2700BBBBBBBB", "--firewire-guid"},
      {"", ext, "FirewireGuid: 0x000A2700CCCCCCCC", "000A2700DDDDDDDD", "000A2700AAAAAAAA",
       "SysInfoExtended"},
      {"", "<key>FireWireGUID</key><string>0A2700AAAAAAAA</string>",
       "BuildID: 1\r\nFirewireGuid: 000a2700cccccccc\r\n", "", "000A2700CCCCCCCC", "SysInfo"},
      {"", "", "FirewireGuid: 0x000A2700CCCCCCC", "000A2700DDDDDDDD", "000A2700DDDDDDDD", "USB"},
      {"", "", "", "000A2700DDDDDDDG", "", ""},
      {"000A2700BBBBBBB", ext, "", "", nullptr, ""}};
  for (const auto& c : cases) {
    MemoryEnv env;
    for (const auto& [name, text] :
         {std::pair{"SysInfoExtended", c.extended}, {"SysInfo", c.sysinfo}}) {
      const std::string path = JoinPath("/ipod", {"iPod_Control", "Device", name});
      ASSERT_TRUE(text.empty() || env.AddFile(path, text).ok());
    }
    FoundGuid found;
    const Status s = FindFireWireGuid(env, "/ipod", {c.given, [&] { return c.usb; }}, &found);
    EXPECT_EQ(s.IsNotFound(), c.guid != nullptr && !*c.guid) << s.ToString();
    EXPECT_EQ(s.code() == Status::Code::kInvalidArgument, c.guid == nullptr) << s.ToString();
    EXPECT_EQ(found.hex, c.guid ? c.guid : "");
    EXPECT_NE(found.source.find(c.source), std::string::npos) << found.source;
  }
}

#ifndef _WIN32
// Linux: from the block device's node in sysfs up to the USB device, whose serial counts only
// where its vendor is Apple.
TEST(FireWireGuidTest, UsbSerialThroughSysfs) {
  namespace fs = std::filesystem;
  for (const char* vendor : {"05ac\n", "0781\n"}) {
    fixture::TempFolder sys;
    const fs::path usb = fs::path(sys.path()) / "devices/pci0000:00/usb1/1-1";
    const fs::path partition = usb / "1-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb2";
    fs::create_directories(partition);
    fs::create_directories(fs::path(sys.path()) / "dev/block");
    fs::create_directory_symlink(partition, fs::path(sys.path()) / "dev/block/8:18");
    std::ofstream(usb / "idVendor") << vendor;
    std::ofstream(usb / "serial") << "000A27001B2C3D4E\n";
    EXPECT_EQ(UsbSerialFromSysfs(Env::Default(), sys.path(), "8:18"),
              vendor[1] == '5' ? "000A27001B2C3D4E" : "");
    EXPECT_EQ(UsbSerialFromSysfs(Env::Default(), sys.path(), "8:19"), "");
  }
}
#endif

}  // namespace
}  // namespace tunewell
