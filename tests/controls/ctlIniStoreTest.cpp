// The ini settings store against real files, and against Python's configparser both ways.
#include <cstdio>
#include <cstdlib>

#include "controls/ctlIniStore.h"
#include "platform/rtl/TempExeFolderTestSupport.h"

namespace {

class IniStoreTest : public TempExeFolderTest {
protected:
  // Runs a Python snippet; argv[1] is the temp folder.
  std::string python(const std::string& code) {
    std::string script = FDir + "/t.py";
    WriteWholeFile(script, code);
    std::string out = FDir + "/py.out";
    std::string cmd = "python3 " + script + " " + FDir + " > " + out + " 2>&1";
    int rc = std::system(cmd.c_str());
    std::string text = ReadWholeFile(out);
    EXPECT_EQ(rc, 0) << text;
    return text;
  }
};

TEST_F(IniStoreTest, OpenAndCloseNest) {
  TCtlIniFileStore store;
  store.SetIniFileName(FDir + "/nest.ini");
  store.Open();
  store.Open();
  store.WriteString("S", "A", "1");
  store.Close();
  EXPECT_TRUE(store.IsOpen());
  EXPECT_FALSE(FileExists(FDir + "/nest.ini")) << "written only by the outermost Close";
  store.Close();
  EXPECT_FALSE(store.IsOpen());
  EXPECT_EQ(ReadWholeFile(FDir + "/nest.ini"), "[S]\r\nA=1\r\n");
  store.Close();  // closing a closed store is harmless
  EXPECT_EQ(store.OpenCount(), 0);

  // Each first Open reads the file anew, so other writers are seen.
  WriteWholeFile(FDir + "/nest.ini", "[S]\nA=2\n");
  store.Open();
  EXPECT_EQ(store.ReadString("S", "A", ""), "2");
  store.Close();
}

TEST_F(IniStoreTest, UseOutsideOpenRaisesStoreError) {
  TCtlIniFileStore store;
  store.SetIniFileName(FDir + "/closed.ini");
  EXPECT_THROW(store.ReadString("S", "A", "d"), ECtlStoreError);
  EXPECT_THROW(store.WriteString("S", "A", "v"), ECtlStoreError);
  EXPECT_THROW(store.EraseSection("S"), ECtlStoreError);
  EXPECT_THROW(store.ReadInteger("S", "A", 1), ECtlStoreError);
  store.Open();
  store.Close();
  EXPECT_THROW(store.WriteInteger("S", "A", 1), ECtlStoreError);
  EXPECT_FALSE(FileExists(FDir + "/closed.ini"));
}

TEST_F(IniStoreTest, FileNamesAndFolders) {
  struct Case {
    std::string name;
    bool useExeDir;
    std::string readBack;  // "" = the folder-less default
    std::string path;      // relative to the temp folder
  } cases[] = {
      {"", false, "Quorvex.INI", "bin/Quorvex.INI"},
      {"settings", false, "settings.INI", "bin/settings.INI"},
      {"settings.ini", false, "settings.ini", "bin/settings.ini"},
      {"Other.Ini", true, "Other.Ini", "bin/Other.Ini"},
      {"@/conf/app.ini", true, "@/conf/app.ini", "bin/app.ini"},
      {"@/conf/app.ini", false, "@/conf/app.ini", "conf/app.ini"},
      {"@/conf.d/app", false, "@/conf.d/app.INI", "conf.d/app.INI"},
  };
  for (const Case& c : cases) {
    auto expand = [&](std::string s) { return s.rfind("@", 0) == 0 ? FDir + s.substr(1) : s; };
    TCtlIniFileStore store;
    store.SetIniFileName(expand(c.name));
    store.SetUseExeDir(c.useExeDir);
    EXPECT_EQ(store.IniFileName(), expand(c.readBack)) << c.name;
    EXPECT_EQ(store.StoragePath(), FDir + "/" + c.path) << c.name;
  }
  TCtlIniFileStore designed;
  designed.SetDesigning(true);
  EXPECT_EQ(designed.IniFileName(), "") << "the designer shows the name as stored";
  designed.SetIniFileName("plain");
  EXPECT_EQ(designed.IniFileName(), "plain");
}

TEST_F(IniStoreTest, NamesValuesAndLineEnds) {
  WriteWholeFile(FDir + "/bin/app.ini",
           "; kept comment\r\n[ Main ]\r\n  AgtnList  =  1;2;3  \r\nQuoted=\"a b\"\rEmpty=\n[Other]\nX=1\n");
  TCtlIniFileStore store;
  store.SetIniFileName("app.ini");
  store.Open();
  EXPECT_EQ(store.ReadString("main", "agtnlist", "?"), "1;2;3");
  EXPECT_EQ(store.ReadString(" MAIN ", " AGTNLIST ", "?"), "1;2;3");
  EXPECT_EQ(store.ReadString("Main", "Quoted", "?"), "\"a b\"");
  EXPECT_EQ(store.ReadString("Main", "Empty", "?"), "");
  EXPECT_EQ(store.ReadString("Main", "Missing", "def"), "def");
  EXPECT_EQ(store.ReadString("Nowhere", "X", "def"), "def");
  EXPECT_EQ(store.ReadInteger("Other", "X", 7), 1);
  EXPECT_EQ(store.ReadInteger("Main", "Quoted", 7), 7);
  EXPECT_EQ(store.ReadInteger("Main", "AgtnList", -3), -3);

  std::string longValue(5000, 'x');
  store.WriteString("MAIN", "agtnlist", "9");
  store.WriteString("main", "Long", longValue);
  store.WriteInteger("New", "N", -42);
  store.EraseSection("other");
  store.Close();

  EXPECT_EQ(ReadWholeFile(FDir + "/bin/app.ini"),
            "; kept comment\r\n[ Main ]\r\nagtnlist=9\r\nQuoted=\"a b\"\r\nEmpty=\r\nLong=" + longValue +
                "\r\n[New]\r\nN=-42\r\n");
  store.Open();
  EXPECT_EQ(store.ReadString("Main", "Long", ""), longValue);
  EXPECT_EQ(store.ReadInteger("new", "n", 0), -42);
  store.Close();
}

TEST_F(IniStoreTest, WriteFailureIsReportedByClose) {
  TCtlIniFileStore store;
  store.SetIniFileName(FDir + "/missing-folder/x.ini");
  store.Open();
  store.WriteString("S", "A", "1");
  EXPECT_THROW(store.Close(), ECtlStoreError);
  EXPECT_FALSE(store.IsOpen());
  EXPECT_THROW(store.ReadString("S", "A", ""), ECtlStoreError);
}

TEST_F(IniStoreTest, ConfigParserReadsOurFile) {
  TCtlIniFileStore store;
  store.SetIniFileName(FDir + "/ours.ini");
  store.Open();
  store.WriteString("Settings", "AgtnList", "0123456;7654321");
  store.WriteString("Settings", "Password", "\"se cret\"");
  store.WriteInteger("Form", "Left", -10);
  store.WriteString("Settings", "AgtnList", "111;222");
  store.Close();
  std::string out = python(
      "import configparser, sys\n"
      "data = open(sys.argv[1] + '/ours.ini', 'rb').read()\n"
      "assert b'\\r\\n' in data and b'\\n' not in data.replace(b'\\r\\n', b'')\n"
      "c = configparser.RawConfigParser(); c.optionxform = str\n"
      "c.read(sys.argv[1] + '/ours.ini')\n"
      "print(c['Settings']['AgtnList'], c['Settings']['Password'], c['Form']['Left'], sep='|')\n");
  EXPECT_EQ(out, "111;222|\"se cret\"|-10\n");
}

TEST_F(IniStoreTest, OursReadsConfigParserFile) {
  python(
      "import configparser, sys\n"
      "c = configparser.RawConfigParser(); c.optionxform = str\n"
      "c['Main'] = {'TacnList': '125;057', 'Password': 'p = q', 'Count': '12'}\n"
      "c['Second'] = {'Path': '/a b/c'}\n"
      "c.write(open(sys.argv[1] + '/py.ini', 'w'))\n");
  TCtlIniFileStore store;
  store.SetIniFileName(FDir + "/py.ini");
  store.Open();
  EXPECT_EQ(store.ReadString("main", "tacnlist", ""), "125;057");
  EXPECT_EQ(store.ReadString("Main", "Password", ""), "p = q");
  EXPECT_EQ(store.ReadInteger("Main", "Count", 0), 12);
  EXPECT_EQ(store.ReadString("Second", "Path", ""), "/a b/c");
  store.Close();
}

}  // namespace
