// Clearing the input-method setting on a whole window tree.
#include <windows.h>
#include <imm.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "util/UdsErrors.h"
#include "util/UdsSysUtils.h"

namespace {

struct WindowDeleter {
  void operator()(HWND w) const { DestroyWindow(w); }
};
using TWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

// A form holding a label, a panel (with a label and an edit box inside) and a button, in this
// order; each window starts with an input-method context of its own.
class SetPropRecursiveTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QrxTestForm";
    RegisterClassA(&wc);
    wc.lpszClassName = "QrxTestPanel";
    RegisterClassA(&wc);

    FForm.reset(CreateWindowA("QrxTestForm", "form", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                              nullptr, nullptr, nullptr));
    ASSERT_TRUE(FForm);
    HWND form = FForm.get();
    FLabel = Child("Static", form);
    FPanel = Child("QrxTestPanel", form);
    FPanelLabel = Child("Static", FPanel);
    FEdit = Child("Edit", FPanel);
    FButton = Child("Button", form);
    for (HWND w : All()) {
      HIMC own = ImmCreateContext();
      ASSERT_TRUE(own);
      FOwn.push_back(own);
      ImmAssociateContext(w, own);
      ASSERT_EQ(Context(w), own);
    }
  }

  void TearDown() override
  {
    FForm.reset();
    for (HIMC own : FOwn)
      ImmDestroyContext(own);
  }

  static HWND Child(const char* cls, HWND parent)
  {
    HWND w = CreateWindowA(cls, "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent, nullptr, nullptr, nullptr);
    EXPECT_TRUE(w) << cls;
    return w;
  }

  static HIMC Context(HWND w)
  {
    HIMC imc = ImmGetContext(w);
    if (imc)
      ImmReleaseContext(w, imc);
    return imc;
  }

  std::vector<HWND> All() const { return {FForm.get(), FLabel, FPanel, FPanelLabel, FEdit, FButton}; }
  // Whether each window of All() still has the context it was given.
  std::vector<bool> KeepsOwnContext() const
  {
    std::vector<bool> out;
    std::vector<HWND> all = All();
    for (size_t i = 0; i < all.size(); ++i)
      out.push_back(Context(all[i]) == FOwn[i]);
    return out;
  }

  TWindow FForm;
  HWND FLabel = nullptr, FPanel = nullptr, FPanelLabel = nullptr, FEdit = nullptr, FButton = nullptr;
  std::vector<HIMC> FOwn;
};

TEST_F(SetPropRecursiveTest, WalksParentsBeforeChildrenInTheirOrder)
{
  EXPECT_EQ(TdsSysUtils::ControlTree(FForm.get()), All());
  EXPECT_EQ(TdsSysUtils::ControlTree(FPanel), (std::vector<HWND>{FPanel, FPanelLabel, FEdit}));
  EXPECT_EQ(TdsSysUtils::ControlTree(FEdit), std::vector<HWND>{FEdit});
  EXPECT_TRUE(TdsSysUtils::ControlTree(nullptr).empty());
}

TEST_F(SetPropRecursiveTest, EmptyImeNameDropsEveryControlsOwnContext)
{
  HIMC shared = Context(FForm.get());  // before: the form's own
  TdsSysUtils::SetPropRecursive(FForm.get(), "ImeName", "");
  // form, label, panel, label, edit, button: labels and buttons have no input-method setting.
  EXPECT_EQ(KeepsOwnContext(), (std::vector<bool>{false, true, false, true, false, true}));
  EXPECT_NE(Context(FEdit), shared);
  // The edit box now follows the thread's default context, as the form and panel do: input
  // methods stay usable, none is tied to the control.
  EXPECT_NE(Context(FEdit), nullptr);
  EXPECT_EQ(Context(FEdit), Context(FForm.get()));
  EXPECT_EQ(Context(FPanel), Context(FForm.get()));
}

TEST_F(SetPropRecursiveTest, StartsAtTheGivenControl)
{
  TdsSysUtils::SetPropRecursive(FPanel, "ImeName", "");
  EXPECT_EQ(KeepsOwnContext(), (std::vector<bool>{true, true, false, true, false, true}));
}

TEST_F(SetPropRecursiveTest, UnknownPropertyChangesNothing)
{
  for (const char* name : {"Caption", "ImeMode", "", "ImeName2"})
    TdsSysUtils::SetPropRecursive(FForm.get(), name, "");
  EXPECT_EQ(KeepsOwnContext(), std::vector<bool>(6, true));
}

TEST_F(SetPropRecursiveTest, ValueThePropertyCannotTakeRaisesBeforeChangingAnything)
{
  EXPECT_THROW(TdsSysUtils::SetPropRecursive(FForm.get(), "ImeName", "Chinese (Simplified) - QuanPin"),
               EdsError);
  EXPECT_EQ(KeepsOwnContext(), std::vector<bool>(6, true));
}

}  // namespace
