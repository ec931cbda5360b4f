// Files by id, formatted reading and writing, and the working directory.
#include "array.h"
#include "working_folder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class Files : public testing::Test {
protected:
    void TearDown() override { mclCloseAllFiles(); }
    static void put(const std::string& name, const std::string& content) {
        std::ofstream(name, std::ios::binary) << content;
    }
    static std::string get(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static mxArray text(const char* t) { return mxArray::text(t); }
    static mxArray readAll(const std::string& name) {
        mxArray id = mlfFopen(mxArray::text(name), mxArray::text("r"));
        mxArray numbers = mlfFscanf(id, mxArray::text("%f"));
        mlfFclose(id);
        return numbers;
    }

    const WorkingFolder folder_;
    const fs::path dir_ = folder_.path();
};

TEST_F(Files, IdsAreTheSmallestFreeFromThree) {
    put("a", "1");
    put("b", "2");
    EXPECT_EQ(mlfFopen(text("missing")).at(0), -1);
    mxArray a = mlfFopen(text("a"));
    mxArray b = mlfFopen(text("b"), text("r"));
    EXPECT_EQ(a.at(0), 3);
    EXPECT_EQ(b.at(0), 4);
    mlfFclose(a);
    EXPECT_EQ(mlfFopen(text("a")).at(0), 3);
    EXPECT_EQ(mlfFopen(text(".")).at(0), -1);  // a folder is not a file
    EXPECT_EQ(mclOpenFileCount(), 2);
}

TEST_F(Files, ReadingStopsAtTheFirstTextThatIsNotANumber) {
    put("c", "1.5 -2\n\t3e2 +4 1,5 7");
    EXPECT_EQ(readAll("c"), mxArray::column({1.5, -2, 300, 4, 1}));
    put("words", "10 20\nfin du fichier 30");
    EXPECT_EQ(readAll("words"), mxArray::column({10, 20}));
    mxArray id = mlfFopen(text("words"));
    mlfFscanf(id, text("%f"));
    EXPECT_FALSE(mclOnlyBlanksLeft(id));
    mlfFclose(id);
    put("trailing", "1 2 \n\t ");
    id = mlfFopen(text("trailing"));
    mlfFscanf(id, text("%f"));
    EXPECT_TRUE(mclOnlyBlanksLeft(id));
    mlfFclose(id);
    put("empty", "");
    EXPECT_TRUE(readAll("empty").isEmpty());
    put("bom", "\xEF\xBB\xBF" "1 2");
    EXPECT_TRUE(readAll("bom").isEmpty());
    put("binary", std::string("\0\x01\xFF 12", 6));
    EXPECT_TRUE(readAll("binary").isEmpty());
}

TEST_F(Files, WritingAppliesTheFormatToEveryElement) {
    mxArray id = mlfFopen(text("out"), text("w"));
    mlfNFprintf(id, text("%f \\t"), mxArray::row({1.5, -0.0079621, 0, -0.0000001}));
    mlfFclose(id);
    EXPECT_EQ(get("out"), "1.500000 \t-0.007962 \t0.000000 \t-0.000000 \t");

    id = mlfFopen(text("log"), text("w"));
    mlfNFprintf(id, text("%s \\n"), text("A=16,   R=10"));
    mlfNFprintf(id, text("%s \\n"), text("A1=144.1488"));
    mlfFclose(id);
    EXPECT_EQ(get("log"), "A=16,   R=10 \nA1=144.1488 \n");

    id = mlfFopen(text("cost"), text("w"));
    mlfNFprintf(id, text("%f "), mxArray::scalar(2500));
    mlfFclose(id);
    EXPECT_EQ(get("cost"), "2500.000000 ");
}

TEST_F(Files, TextsAreWrittenAsSingleBytes) {
    mxArray id = mlfFopen(text("euro"), text("w"));
    mlfNFprintf(id, text("%s"), text("€é"));
    mlfFclose(id);
    EXPECT_EQ(get("euro"), "\x80\xE9");
}

TEST_F(Files, NumbersUseTheDecimalPointOnAFrenchDesktop) {
    ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr);
    mxArray id = mlfFopen(text("fr"), text("w"));
    mlfNFprintf(id, text("%f "), mxArray::scalar(2500.25));
    mlfFclose(id);
    EXPECT_EQ(get("fr"), "2500.250000 ");
    EXPECT_EQ(readAll("fr"), mxArray::scalar(2500.25));
    std::setlocale(LC_ALL, "C");
}

TEST_F(Files, ReplacementTakesEffectOnlyAtClosing) {
    put("account", "2500.000000 ");
    mxArray id = mlfFopen(text("account"), text("w"));
    mlfNFprintf(id, text("%f "), mxArray::scalar(5000));
    // A reader meanwhile still sees the old content, whole.
    EXPECT_EQ(get("account"), "2500.000000 ");
    mlfFclose(id);
    EXPECT_EQ(get("account"), "5000.000000 ");
    // Abandoned writes leave the old file and no temporary behind.
    id = mlfFopen(text("account"), text("w"));
    mlfNFprintf(id, text("%f "), mxArray::scalar(1));
    mclCloseAllFiles();
    EXPECT_EQ(get("account"), "5000.000000 ");
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

TEST_F(Files, AnAppendGoesToTheFileOpenedWhateverTheFolderAtClosing) {
    put("journal", "1 ");
    fs::create_directory("elsewhere");
    mxArray id = mlfFopen(text("journal"), text("a"));
    mlfNCd(text("elsewhere"));
    mlfNFprintf(id, text("%d "), mxArray::scalar(2));
    mlfFclose(id);
    mlfNCd(text(".."));
    EXPECT_EQ(get("journal"), "1 2 ");
    EXPECT_FALSE(fs::exists("elsewhere/journal"));
}

TEST_F(Files, BadIdsAndUnwritableFoldersRaiseClearErrors) {
    fs::create_directory("locked");
    fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec);
    mxArray id = mlfFopen(text("locked/x"), text("w"));
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_EQ(id.at(0), -1);
    }
    try {
        mlfNFprintf(mxArray::scalar(-1), text("%f "), mxArray::scalar(1));
        FAIL();
    } catch (const mclError& e) {
        EXPECT_NE(std::string(e.what()).find("n'a pas pu être ouvert"), std::string::npos);
    }
    EXPECT_THROW(mlfFclose(mxArray::scalar(42)), mclError);
    EXPECT_THROW(mlfFopen(text("x"), text("q")), mclError);
    fs::permissions("locked", fs::perms::owner_all);
}

TEST_F(Files, ChangeOfDirectory) {
    fs::create_directory("poly");
    mlfNCd(text("poly"));
    EXPECT_EQ(fs::current_path(), dir_ / "poly");
    mlfNCd(text(".."));
    try {
        mlfNCd(text("data"));
        FAIL();
    } catch (const mclError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("« data »"), std::string::npos) << message;
        EXPECT_NE(message.find("il n'existe pas"), std::string::npos) << message;
        EXPECT_NE(message.find("« " + dir_.string() + " »"), std::string::npos) << message;
    }
    EXPECT_EQ(fs::current_path(), dir_);
}

}  // namespace

namespace {

TEST_F(Files, FolderScopeReturnsWhereItStartedWhenAnErrorEndsTheGroup) {
    fs::create_directory("poly");
    try {
        mclFolderScope scope(mxArray::text("poly"));
        EXPECT_EQ(fs::current_path(), dir_ / "poly");
        mlfError("lecture impossible");
    } catch (const mclError&) {
    }
    EXPECT_EQ(fs::current_path(), dir_);
    {
        mclFolderScope scope(mxArray::text("poly"));
        scope.leave(mxArray::text(".."));
    }
    EXPECT_EQ(fs::current_path(), dir_);
    EXPECT_THROW(mclFolderScope(mxArray::text("data")), mclError);
    EXPECT_EQ(fs::current_path(), dir_);
}

}  // namespace
