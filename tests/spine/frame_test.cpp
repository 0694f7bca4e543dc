#include "spine.h"

using namespace kivtest;

class Frame : public SpineTest {};

TEST_F(Frame, WaitCursorNestsAndNeverGoesBelowZero) {
  KivDll probe("kivprobe.dll");
  auto begin = probe.Fn<void (*)()>("probe_BeginWaitCursor");
  auto end = probe.Fn<void (*)()>("probe_EndWaitCursor");
  auto count = probe.Fn<int (*)()>("probe_WaitCursorCount");
  HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  SetCursor(arrow);
  CursorRecorder cursors(probe.module());
  begin();
  begin();
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(GetCursor(), CursorRecorder::WaitCursor());
  end();
  EXPECT_EQ(GetCursor(), CursorRecorder::WaitCursor()) << "inner end keeps the wait cursor";
  end();
  EXPECT_EQ(count(), 0);
  EXPECT_EQ(GetCursor(), arrow) << "outer end restores the cursor shown before";
  end();
  EXPECT_EQ(count(), 0) << "never below zero";
  EXPECT_EQ(probe.Fn<int (*)()>("probe_ScopedWaitCursorThrows")(), 0)
      << "the scoped form ends its bracket when an exception passes";
  EXPECT_TRUE(cursors.ShownAndRestored());
}

TEST_F(Frame, ExportsAreReachableByNameAndOrdinalWithTheirConvention) {
  KivDll dll;
  ASSERT_TRUE(dll.loaded());
  EXPECT_EQ(dll.Proc("KIVSetup_SetRegistryInfo"), dll.Proc(38));
  dll.CdeclOrdinal(38, "Acme", "Widget");
  EXPECT_EQ(dll.Proc("KIVSetup_SetRegistryInfo@8"), nullptr) << "names are undecorated";
  // Null names leave the levels as they were and do not crash.
  dll.Cdecl("KIVSetup_SetRegistryInfo", nullptr, nullptr);
}

TEST_F(Frame, LoadAndUnloadWriteNothing) {
  { KivDll dll; }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Brantelo"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Brantelo"));
}
