#include <gtest/gtest.h>

#include "win/classlib.h"
#include "win/machine.h"

namespace {

class TestDoc : public COleDocument {
  DECLARE_DYNCREATE(TestDoc)
 public:
  ~TestDoc() override { ++deleted; }
  static inline int deleted = 0;
};
IMPLEMENT_DYNCREATE(TestDoc, COleDocument)

class TestView : public CView {
  DECLARE_DYNCREATE(TestView)
 public:
  void OnDraw(HDC) override {}
  void OnInitialUpdate() override { ++updates; }
  static inline int updates = 0;
};
IMPLEMENT_DYNCREATE(TestView, CView)

class TestFrame : public CFrameWnd {
  DECLARE_DYNCREATE(TestFrame)
};
IMPLEMENT_DYNCREATE(TestFrame, CFrameWnd)

TEST(RuntimeClasses, CreateByClassAndKnowTheirBases) {
  CObject* made = RUNTIME_CLASS(TestDoc)->CreateObject();
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(COleDocument)));
  EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CDocument)));
  EXPECT_FALSE(made->IsKindOf(RUNTIME_CLASS(CView)));
  EXPECT_EQ(RUNTIME_CLASS(CDocument)->CreateObject(), nullptr);
  delete made;
  TestDoc::deleted = 0;
}

TEST(SingleDocTemplate, MakesADocumentAFrameAndAViewAndTheDocumentGoesWithItsLastView) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  TestDoc::deleted = 0;
  TestView::updates = 0;
  CSingleDocTemplate docTemplate(128, RUNTIME_CLASS(TestDoc), RUNTIME_CLASS(TestFrame), RUNTIME_CLASS(TestView));
  CDocument* document = docTemplate.OpenDocumentFile(nullptr);
  ASSERT_NE(document, nullptr);
  POSITION position = document->GetFirstViewPosition();
  CView* view = document->GetNextView(position);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(position, 0u);
  EXPECT_EQ(TestView::updates, 1);
  auto* frame = dynamic_cast<CFrameWnd*>(view->GetParent());
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->GetActiveView(), view);
  EXPECT_EQ(frame->GetActiveDocument(), document);
  // The same document is reused while it has its frame.
  EXPECT_EQ(docTemplate.OpenDocumentFile(nullptr), document);
  EXPECT_EQ(TestView::updates, 1);

  frame->DestroyWindow();
  EXPECT_EQ(TestDoc::deleted, 1);
  POSITION none = docTemplate.GetFirstDocPosition();
  EXPECT_EQ(none, 0u);
}

TEST(ClientItems, BelongToTheirDocumentAndTakeNumberedStorages) {
  TestDoc document;
  document.EnableCompoundFile();
  auto* first = new COleClientItem(&document);
  auto* second = new COleClientItem(&document);
  first->GetItemStorage();
  second->GetItemStorage();
  EXPECT_EQ(document.StorageNames(), (std::vector<std::string>{"Embedding 1", "Embedding 2"}));
  first->Delete();
  EXPECT_EQ(document.ItemCount(), 1u);
  EXPECT_FALSE(second->IsInPlaceActive());
  EXPECT_EQ(document.GetInPlaceActiveItem(nullptr), nullptr);
  document.DeleteContents();
  EXPECT_EQ(document.ItemCount(), 0u);
}

TEST(Exceptions, CarryTheirCausesAndCodes) {
  try {
    AfxThrowOleDispatchException(1001, "described");
  } catch (const CException& e) {
    ASSERT_TRUE(e.IsKindOf(RUNTIME_CLASS(COleDispatchException)));
    const auto& dispatch = static_cast<const COleDispatchException&>(e);
    EXPECT_EQ(dispatch.m_wCode, 1001);
    EXPECT_EQ(dispatch.m_strDescription, "described");
  }
  try {
    AfxThrowFileException(CFileException::badPath);
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::badPath);
    EXPECT_EQ(e.m_lOsError, -1);
  }
}

}  // namespace
