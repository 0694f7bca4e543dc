#include <cstring>
#include <vector>

#include "paths.h"

using namespace kivtest;
using namespace pathstest;

namespace {

// Every RegSetValueExA of "ProviderOrder" that the DLL makes, with the byte
// count it passes; the write goes through unless the test says otherwise.
struct OrderWrite {
  DWORD type;
  DWORD count;
  std::string data;
};
std::vector<OrderWrite> writes;
enum class WriteMode { Store, Fail, DropSilently } writeMode = WriteMode::Store;
ImportHook* setHook = nullptr;

LONG WINAPI RecordingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD count) {
  if (name && std::strcmp(name, "ProviderOrder") == 0) {
    writes.push_back({type, count, std::string(reinterpret_cast<const char*>(data), count)});
    if (writeMode == WriteMode::Fail) return ERROR_ACCESS_DENIED;
    if (writeMode == WriteMode::DropSilently) return ERROR_SUCCESS;
  }
  return setHook->original_as<decltype(&RegSetValueExA)>()(key, name, reserved, type, data, count);
}

// The stored list up to its first zero byte, or "<missing>".
std::string StoredOrder() {
  std::string data;
  if (!GetString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", &data)) return "<missing>";
  return data.substr(0, data.find('\0'));
}

void StoreOrder(const std::string& list, DWORD type = REG_SZ) {
  SetBinary(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", list.data(),
            static_cast<DWORD>(list.size()), type);
}

// The key without the value.
void MissingOrder() {
  StoreOrder("");
  DeleteValue(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder");
}

class ProviderOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::make_unique<SavedValue>(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder");
    writes.clear();
    writeMode = WriteMode::Store;
    hook_ = std::make_unique<ImportHook>(dll_.module(), "advapi32.dll", "RegSetValueExA",
                                         reinterpret_cast<void*>(&RecordingSetValue));
    ASSERT_TRUE(hook_->installed());
    setHook = hook_.get();
  }
  void TearDown() override {
    hook_.reset();
    setHook = nullptr;
    saved_.reset();
  }

  // Runs one export on the stored list (or on no value at all) and returns
  // the lists written, in order.
  std::vector<std::string> Run(const char* exportName, const char* list) {
    if (list)
      StoreOrder(list);
    else
      MissingOrder();
    writes.clear();
    CallBlock block;
    EXPECT_EQ(dll_.Std(exportName, &block), 0u);
    std::vector<std::string> lists;
    for (const OrderWrite& w : writes) {
      EXPECT_EQ(w.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(w.count, std::strlen(w.data.c_str())) << "stored without a terminating zero";
      lists.push_back(w.data);
    }
    return lists;
  }

  KivDll dll_;
  std::unique_ptr<SavedValue> saved_;
  std::unique_ptr<ImportHook> hook_;
};

using Lists = std::vector<std::string>;

TEST_F(ProviderOrder, AddPutsTheProviderAtTheHeadOnce) {
  struct Case {
    const char* list;  // null: no value
    Lists written;
    const char* stored;
  } cases[] = {
      {nullptr, {"ZEVIRO"}, "ZEVIRO"},
      {"", {"ZEVIRO"}, "ZEVIRO"},
      {"A,B", {"ZEVIRO,A,B"}, "ZEVIRO,A,B"},
      {"ZEVIRO", {}, "ZEVIRO"},
      {"ZEVIRO,A,B", {}, "ZEVIRO,A,B"},
      {"ZEVIRO,A,ZEVIRO", {}, "ZEVIRO,A,ZEVIRO"},
      {"A,ZEVIRO,B", {"A,B", "ZEVIRO,A,B"}, "ZEVIRO,A,B"},
      {"A,ZEVIRO,B,ZEVIRO,C", {"A,B,ZEVIRO,C", "A,B,C", "ZEVIRO,A,B,C"}, "ZEVIRO,A,B,C"},
      // The last item goes with the comma before it.
      {"A,ZEVIRO", {"A", "ZEVIRO,A"}, "ZEVIRO,A"},
      // Names are compared whole and with their case.
      {"zeviro", {"ZEVIRO,zeviro"}, "ZEVIRO,zeviro"},
      {"A,ZEVIROX", {"ZEVIRO,A,ZEVIROX"}, "ZEVIRO,A,ZEVIROX"},
      {"A,XZEVIRO,B", {"ZEVIRO,A,XZEVIRO,B"}, "ZEVIRO,A,XZEVIRO,B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list ? c.list : "<no value>");
    EXPECT_EQ(Run("TqAddNetworkProvider", c.list), c.written);
    EXPECT_EQ(StoredOrder(), c.stored);
  }
}

TEST_F(ProviderOrder, RemoveTakesOutTheFirstEntryWithItsSeparator) {
  struct Case {
    const char* list;
    Lists written;
    const char* stored;
  } cases[] = {
      {nullptr, {}, "<missing>"},
      {"", {}, ""},
      {"A,B", {}, "A,B"},
      {"ZEVIRO", {""}, ""},
      {"ZEVIRO,A,B", {"A,B"}, "A,B"},
      {"A,ZEVIRO,B", {"A,B"}, "A,B"},
      {"A,ZEVIRO", {"A"}, "A"},
      {"zeviro,A", {}, "zeviro,A"},
      {"A,ZEVIROX", {}, "A,ZEVIROX"},
      {"A,XZEVIRO,B", {}, "A,XZEVIRO,B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list ? c.list : "<no value>");
    EXPECT_EQ(Run("TqRemoveNetworkProvider", c.list), c.written);
    EXPECT_EQ(StoredOrder(), c.stored);
  }
}

TEST_F(ProviderOrder, StoredBytesAreTakenAsOneTextOnly) {
  // A binary value keeps exactly the bytes given, with no zero after them.
  StoreOrder("A,B", REG_BINARY);
  writes.clear();
  CallBlock block;
  dll_.Std("TqAddNetworkProvider", &block);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].data, "ZEVIRO,A,B");
  // A value of several texts would lose all but the first if rewritten.
  const std::string texts("A,ZEVIRO\0B\0\0", 12);
  for (const char* name : {"TqAddNetworkProvider", "TqRemoveNetworkProvider"}) {
    StoreOrder(texts, REG_MULTI_SZ);
    writes.clear();
    dll_.Std(name, &block);
    EXPECT_TRUE(writes.empty()) << name;
  }
}

TEST_F(ProviderOrder, ListsBeyondTheBuffersAreLeftUnchanged) {
  const std::string a252(252, 'A'), a253(253, 'A'), a300(300, 'A');
  // 252 characters still take "ZEVIRO," before them within 259 bytes.
  EXPECT_EQ(Run("TqAddNetworkProvider", a252.c_str()), Lists{"ZEVIRO," + a252});
  // One more does not fit: nothing is written, nothing cut.
  EXPECT_EQ(Run("TqAddNetworkProvider", a253.c_str()), Lists{});
  EXPECT_EQ(StoredOrder(), a253);
  // A stored value of 260 bytes or more is not read at all.
  const std::string longWithProvider = "ZEVIRO," + a300;
  for (const char* name : {"TqAddNetworkProvider", "TqRemoveNetworkProvider"}) {
    EXPECT_EQ(Run(name, a300.c_str()), Lists{}) << name;
    EXPECT_EQ(StoredOrder(), a300);
    EXPECT_EQ(Run(name, (a300 + ",ZEVIRO").c_str()), Lists{}) << name;
    EXPECT_EQ(Run(name, longWithProvider.c_str()), Lists{}) << name;
    EXPECT_EQ(StoredOrder(), longWithProvider);
  }
  // A full list that holds the provider is shortened first, so it moves.
  const std::string a252WithProvider = a252 + ",ZEVIRO";  // 259 characters
  EXPECT_EQ(Run("TqAddNetworkProvider", a252WithProvider.c_str()),
            (Lists{a252, "ZEVIRO," + a252}));
}

TEST_F(ProviderOrder, TheRepetitionEndsWhenWritesDoNotTakeEffect) {
  // A failing write stops at the first removal.
  writeMode = WriteMode::Fail;
  EXPECT_EQ(Run("TqAddNetworkProvider", "A,ZEVIRO,B"), Lists{"A,B"});
  EXPECT_EQ(StoredOrder(), "A,ZEVIRO,B");
  // A write reported as done that leaves the list as it was (another
  // writer putting it back) is repeated a bounded number of times.
  writeMode = WriteMode::DropSilently;
  const Lists attempts = Run("TqAddNetworkProvider", "A,ZEVIRO,B");
  EXPECT_GE(attempts.size(), 1u);
  EXPECT_LE(attempts.size(), 40u);
  EXPECT_EQ(StoredOrder(), "A,ZEVIRO,B");
}

TEST_F(ProviderOrder, NoKeyMeansNothingIsDoneAndZeroIsReturned) {
  StoreOrder("A,ZEVIRO,B");
  SavedValue wholeKey(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder");
  DeleteTree(HKEY_LOCAL_MACHINE, kOrderKey);
  writes.clear();
  EXPECT_EQ(dll_.Std("TqAddNetworkProvider", nullptr), 0u);
  EXPECT_EQ(dll_.Std("TqRemoveNetworkProvider", nullptr), 0u);
  EXPECT_TRUE(writes.empty());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kOrderKey));
}

TEST_F(ProviderOrder, BothHoldTheBusyCursorAndAreReachableByOrdinal) {
  StoreOrder("A,ZEVIRO,B");
  {
    CursorRecorder cursors(dll_.module());
    EXPECT_EQ(dll_.StdOrdinal(17, nullptr), 0u);
    EXPECT_TRUE(cursors.ShownAndRestored());
  }
  EXPECT_EQ(StoredOrder(), "ZEVIRO,A,B");
  {
    CursorRecorder cursors(dll_.module());
    EXPECT_EQ(dll_.StdOrdinal(29, nullptr), 0u);
    EXPECT_TRUE(cursors.ShownAndRestored());
  }
  EXPECT_EQ(StoredOrder(), "A,B");
}

}  // namespace
