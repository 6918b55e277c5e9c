// The shell file operation on real files in a temporary folder, and opening addresses.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "framework/base/TkFileOp.h"
#include "platform/rtl/ShellOps.h"

namespace {

namespace fs = std::filesystem;
using enum TTkFileOpOption;

class FileOpTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tkFileOpXXXXXX";
    FDir = ::mkdtemp(tmpl);
    fs::create_directories(FDir + "/src/sub");
    fs::create_directories(FDir + "/dst");
    put("src/a.txt", "alpha");
    put("src/b.txt", "bravo");
    put("src/c.dat", "charlie");
    put("src/sub/d.txt", "delta");
  }
  void TearDown() override { fs::remove_all(FDir); }

  std::string p(const std::string& rel) const { return FDir + "/" + rel; }
  void put(const std::string& rel, const std::string& data) { std::ofstream(p(rel), std::ios::binary) << data; }
  std::string get(const std::string& rel) const {
    std::ifstream f(p(rel), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  bool has(const std::string& rel) const { return fs::exists(p(rel)); }

  // An operation counting its error events.
  struct Op {
    TTkFileOperation F;
    int Errors = 0;
    Op(TTkFileOp op, TTkFileOpOptions options) {
      F.SetOperation(op);
      F.SetOptions(options);
      F.OnError = [this](TTkShellComponent&) { ++Errors; };
    }
  };

  std::string FDir;
};

TEST_F(FileOpTest, CopiesListsAndKeepsTimes) {
  auto old = fs::last_write_time(p("src/a.txt")) - std::chrono::hours(48);
  fs::last_write_time(p("src/a.txt"), old);
  struct {
    TTkFileOperation F;
  } op;
  EXPECT_EQ(op.F.Options(), (TTkFileOpOptions{foAllowUndo, foFilesOnly, foSilent}));
  EXPECT_EQ(op.F.Operation(), TTkFileOp::fopCopy);
  EXPECT_TRUE(op.F.ConfirmFiles());
  op.F.SourceFiles().Add(p("src/a.txt"));
  op.F.SourceFiles().Add("");
  op.F.SourceFiles().Add(p("src/*.dat"));
  op.F.SetDestination(p("dst//"));
  EXPECT_EQ(op.F.Destination(), p("dst"));
  EXPECT_TRUE(op.F.Execute());
  EXPECT_EQ(get("dst/a.txt"), "alpha");
  EXPECT_EQ(get("dst/c.dat"), "charlie");
  EXPECT_FALSE(has("dst/b.txt"));
  EXPECT_EQ(fs::last_write_time(p("dst/a.txt")), old);
  EXPECT_EQ(op.F.LastErrorCode(), 0);
  EXPECT_FALSE(op.F.AnyOperationsAborted());

  // A folder is copied whole; files-only wildcards skip folders.
  TTkFileOperation tree;
  tree.SourceFiles().Add(p("src/sub"));
  tree.SetDestination(p("dst"));
  EXPECT_TRUE(tree.Execute());
  EXPECT_EQ(get("dst/sub/d.txt"), "delta");
  TTkFileOperation wild;
  wild.SetOptions({foFilesOnly, foNoConfirmation, foNoConfirmMkDir});
  wild.SourceFiles().Add(p("src/*"));
  wild.SetDestination(p("flat"));
  EXPECT_TRUE(wild.Execute());
  EXPECT_TRUE(has("flat/b.txt"));
  EXPECT_FALSE(has("flat/sub"));
}

TEST_F(FileOpTest, CollisionsAndNewFolders) {
  put("dst/a.txt", "old");
  struct {
    TTkFileOpOptions options;
    bool ok;
    int code;
    bool aborted;
    const char* inDst;  // content of dst/a.txt afterwards
    const char* copy;   // content of dst/Copy of a.txt, "" when absent
  } cases[] = {
      {{foAllowUndo, foFilesOnly, foSilent}, false, ERROR_CANCELLED, true, "old", ""},
      {{foNoConfirmation}, true, 0, false, "alpha", ""},
      {{foRenameCollision}, true, 0, false, "alpha", "alpha"},
  };
  for (const auto& c : cases) {
    Op op(TTkFileOp::fopCopy, c.options);
    op.F.SourceFiles().Add(p("src/a.txt"));
    op.F.SetDestination(p("dst"));
    EXPECT_EQ(op.F.Execute(), c.ok);
    EXPECT_EQ(op.F.LastErrorCode(), c.code);
    EXPECT_EQ(op.Errors, c.ok ? 0 : 1);
    EXPECT_EQ(op.F.AnyOperationsAborted(), c.aborted);
    EXPECT_EQ(get("dst/a.txt"), c.inDst);
    EXPECT_EQ(has("dst/Copy of a.txt") ? get("dst/Copy of a.txt") : "", c.copy);
  }
  EXPECT_EQ(TTkFileOperation().LastErrorText(), "");
  Op cancelled(TTkFileOp::fopCopy, {});
  cancelled.F.SourceFiles().Add(p("src/a.txt"));
  cancelled.F.SourceFiles().Add(p("src/b.txt"));
  cancelled.F.SetDestination(p("new/folder"));
  EXPECT_FALSE(cancelled.F.Execute()) << "a new folder needs a confirmation nobody can give";
  EXPECT_EQ(cancelled.F.LastErrorText(), "The operation was canceled by the user.");
  EXPECT_FALSE(has("new"));
  cancelled.F.SetOptions({foNoConfirmMkDir});
  EXPECT_TRUE(cancelled.F.Execute());
  EXPECT_EQ(get("new/folder/b.txt"), "bravo");
}

TEST_F(FileOpTest, MappingsMovesRenamesAndDeletes) {
  TTkFileOperation map;
  map.SetOptions({foNoConfirmMkDir});
  map.SourceFiles().Add(p("src/a.txt") + "=" + p("dst/one/A1.txt"));
  map.SourceFiles().Add(p("src/b.txt"));
  map.SetDestination(p("dst"));
  EXPECT_TRUE(map.Execute());
  EXPECT_EQ(get("dst/one/A1.txt"), "alpha");
  EXPECT_EQ(get("dst/b.txt"), "bravo");

  TTkFileOperation move;
  move.SetOperation(TTkFileOp::fopMove);
  move.SourceFiles().Add(p("src/*.txt"));
  move.SetDestination(p("dst/moved"));
  move.SetOptions({foNoConfirmMkDir});
  EXPECT_TRUE(move.Execute());
  EXPECT_FALSE(has("src/a.txt"));
  EXPECT_EQ(get("dst/moved/b.txt"), "bravo");
  EXPECT_TRUE(has("src/c.dat"));

  TTkFileOperation rename;
  rename.SetOperation(TTkFileOp::fopRename);
  rename.SourceFiles().Add(p("src/c.dat"));
  rename.SetDestination("renamed.dat");
  EXPECT_TRUE(rename.Execute());
  EXPECT_EQ(get("src/renamed.dat"), "charlie");
  put("src/other.dat", "x");
  rename.SourceFiles().Clear();
  rename.SourceFiles().Add(p("src/other.dat"));
  EXPECT_FALSE(rename.Execute());
  EXPECT_EQ(rename.LastErrorCode(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(get("src/renamed.dat"), "charlie");

  TTkFileOperation del;
  del.SetOperation(TTkFileOp::fopDelete);
  del.SourceFiles().Add(p("src/*.dat"));
  del.SourceFiles().Add(p("dst/moved"));
  EXPECT_TRUE(del.Execute());
  EXPECT_FALSE(has("src/renamed.dat"));
  EXPECT_FALSE(has("dst/moved"));
  EXPECT_TRUE(has("src/sub/d.txt")) << "files-only wildcards leave folders";

  TTkFileOperation self;
  self.SourceFiles().Add(p("src/sub"));
  self.SetDestination(p("src/sub/inner"));
  self.SetOptions({foNoConfirmation});
  EXPECT_FALSE(self.Execute());
  EXPECT_EQ(self.LastErrorCode(), DE_DESTSUBTREE);
}

TEST_F(FileOpTest, ArgumentErrorsAndShellFailures) {
  struct {
    TTkFileOp op;
    std::vector<std::string> sources;
    std::string destination;
    bool confirm;
    int code;  // ETkFileOpError code, 0 for none
    const char* text;
  } cases[] = {
      {TTkFileOp::fopCopy, {}, "dst", true, tkNoSourceFiles, "No source files specified"},
      {TTkFileOp::fopCopy, {"", " "}, "dst", true, tkNoSourceFiles, "No source files specified"},
      {TTkFileOp::fopDelete, {"src/a.txt=x"}, "", true, tkMappingInDelete,
       "Cannot use file mappings in a delete operation"},
      {TTkFileOp::fopCopy, {"src/none.txt"}, "dst", true, tkSourceFileError, "Source file error, file not found"},
      {TTkFileOp::fopMove, {"src/a.txt"}, "", true, tkNoDestination, "No destination files specified"},
  };
  for (const auto& c : cases) {
    TTkFileOperation op;
    op.SetOperation(c.op);
    op.SetConfirmFiles(c.confirm);
    for (const auto& s : c.sources) op.SourceFiles().Add(s.empty() || s == " " ? s : p(s));
    if (!c.destination.empty()) op.SetDestination(p(c.destination));
    try {
      op.Execute();
      ADD_FAILURE() << c.text;
    } catch (const ETkFileOpError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code);
      EXPECT_EQ(e.Message(), c.text);
    }
  }
  Op missing(TTkFileOp::fopCopy, {});
  missing.F.SetConfirmFiles(false);
  missing.F.SourceFiles().Add(p("src/none.txt"));
  missing.F.SetDestination(p("dst"));
  EXPECT_FALSE(missing.F.Execute());
  EXPECT_EQ(missing.F.LastErrorCode(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing.F.LastErrorText(), "The system cannot find the file specified.");
  EXPECT_EQ(missing.Errors, 1);
}

class ShellOpenTest : public FileOpTest {
protected:
  void SetUp() override {
    FileOpTest::SetUp();
    const char* path = std::getenv("PATH");
    FSavedPath = path ? path : "";
  }
  void TearDown() override {
    ::setenv("PATH", FSavedPath.c_str(), 1);
    FileOpTest::TearDown();
  }
  std::string FSavedPath;
};

TEST_F(ShellOpenTest, OpensAddressesWithXdgOpenWhenInstalled) {
  fs::create_directories(p("bin"));
  put("bin/xdg-open", "#!/bin/sh\necho \"$1\" > " + p("opened.tmp") + "\nmv " + p("opened.tmp") + " " +
                          p("opened") + "\n");
  fs::permissions(p("bin/xdg-open"), fs::perms::owner_all);
  ::setenv("PATH", (p("bin") + ":/usr/bin:/bin").c_str(), 1);
  EXPECT_GT(ShellExecute("open", "https://example.com/a b?x=1&y=\"2\""), 32);
  for (int i = 0; i < 500 && !has("opened"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(get("opened"), "https://example.com/a b?x=1&y=\"2\"\n");
  EXPECT_EQ(ShellExecute("print", "https://example.com"), SE_ERR_NOASSOC);

  fs::remove(p("bin/xdg-open"));
  ::setenv("PATH", p("bin").c_str(), 1);
  EXPECT_EQ(ShellExecute("open", "https://example.com"), SE_ERR_FNF);
}

}  // namespace
