// The statement splitter and the directive reader: every construct of a release script,
// mixed, with terminators hidden in strings, identifiers and comments.
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
#include "insert_batch.h"
#include "script_directives.h"
#include "script_splitter.h"

using namespace xqv::script;

namespace {

std::vector<std::string> Texts(const std::string& script) {
    std::vector<std::string> texts;
    for (const Statement& s : SplitScript(script))
        texts.emplace_back(s.text);
    return texts;
}

using Texts_t = std::vector<std::string>;

TEST(Splitter, EndsStatementsAtTerminatorAcrossLineEnds) {
    EXPECT_EQ(Texts("a;b ;\r\n  c\r\n  d;\n\ne;"), (Texts_t{"a", "b", "c\r\n  d", "e"}));
    EXPECT_TRUE(Texts("").empty());
    EXPECT_TRUE(Texts(" \r\n\t\n").empty());
    // Empty statements and comments alone give no statement.
    EXPECT_EQ(Texts(";; a;;\r\n; /* only */ ; -- nothing\r\n"), (Texts_t{"a"}));
}

TEST(Splitter, KeepsTerminatorsInsideStringsIdentifiersAndComments) {
    EXPECT_EQ(Texts("insert into t values ('a;b^c', 'it''s; ok', '');x;"),
              (Texts_t{"insert into t values ('a;b^c', 'it''s; ok', '')", "x"}));
    EXPECT_EQ(Texts("select \"a;b\"\"^\" from t;x;"), (Texts_t{"select \"a;b\"\"^\" from t", "x"}));
    EXPECT_EQ(Texts("select q'{a;'}' , Q'!;!' from t;x;"),
              (Texts_t{"select q'{a;'}' , Q'!;!' from t", "x"}));
    // A word ending in q before a quote is no alternative literal.
    EXPECT_EQ(Texts("select seq'';x;"), (Texts_t{"select seq''", "x"}));
    EXPECT_EQ(Texts("update t /* ; ^ */ set a = 1 -- ; \r\n where b = 2;x;"),
              (Texts_t{"update t /* ; ^ */ set a = 1 -- ; \r\n where b = 2", "x"}));
}

TEST(Splitter, DropsCommentsBeforeAStatementButNotInside) {
    EXPECT_EQ(Texts("/* header; */\r\n-- line ;\r\n/*MARK*/ commit;"), (Texts_t{"commit"}));
    EXPECT_EQ(Texts("/* CONNECT 'x.fdb' USER 'a' PASSWORD 'b'; */ a;"), (Texts_t{"a"}));
    // A minus or slash alone is no comment.
    EXPECT_EQ(Texts("select 4-1/2 from t;x;"), (Texts_t{"select 4-1/2 from t", "x"}));
}

TEST(Splitter, SetTermChangesTheTerminatorFromTheNextStatementOn) {
    const std::string script = "SET TERM ^ ;\r\n"
                               "create procedure p as begin x = ';'; y; end^\r\n"
                               "alter trigger t as begin z; end ^\r\n"
                               "SET TERM ; ^\r\n"
                               "commit;";
    EXPECT_EQ(Texts(script), (Texts_t{"SET TERM ^", "create procedure p as begin x = ';'; y; end",
                                      "alter trigger t as begin z; end", "SET TERM ;", "commit"}));
    EXPECT_EQ(Texts("set term !! ;a;b!!SET TERM ;!!c;"),
              (Texts_t{"set term !!", "a;b", "SET TERM ;", "c"}));
    StatementSplitter splitter("set term ^;a;");
    Statement statement;
    ASSERT_TRUE(splitter.Next(statement));
    EXPECT_EQ(splitter.Terminator(), "^");
}

TEST(Splitter, IgnoresSetTermInsideCommentsAndStrings) {
    EXPECT_EQ(Texts("/* SET TERM ^ ; */ a; -- SET TERM ^ ;\r\nb;"), (Texts_t{"a", "b"}));
    EXPECT_EQ(Texts("insert into t values ('SET TERM ^ ;');b;"),
              (Texts_t{"insert into t values ('SET TERM ^ ;')", "b"}));
}

TEST(Splitter, TakesExecuteBlockWholeUnderSemicolon) {
    const std::string block = "EXECUTE BLOCK AS\r\n"
                              "  DECLARE VARIABLE I INTEGER;\r\n"
                              "BEGIN\r\n"
                              "  I = CASE WHEN 1 = 1 THEN 1 ELSE 2 END;\r\n"
                              "  IF (I = 1) THEN BEGIN\r\n"
                              "    INSERT INTO T VALUES ('end;'); /* end; */\r\n"
                              "  END -- end;\r\n"
                              "  \"END\" = 1;\r\n"
                              "END";
    EXPECT_EQ(Texts("a;\r\n" + block + ";\r\nb;"), (Texts_t{"a", block, "b"}));
    EXPECT_EQ(Texts("execute /* x */ block as begin end;b;"),
              (Texts_t{"execute /* x */ block as begin end", "b"}));
    // Under another terminator too; words that only contain the keywords do not count.
    EXPECT_EQ(Texts("set term ^;execute block as begin begin_x = 1; end_y = 2; end^b^"),
              (Texts_t{"set term ^", "execute block as begin begin_x = 1; end_y = 2; end", "b"}));
    EXPECT_EQ(Texts("execute procedure p;b;"), (Texts_t{"execute procedure p", "b"}));
}

// Scripts edited on other systems end their lines with LF alone: a line comment still ends there.
// One on the last line, with no line end at all, runs to the end of the script.
TEST(Splitter, EndsLineCommentsAtLfAloneAndAtTheEndOfTheScript) {
    EXPECT_EQ(Texts("-- header; x\na;\nupdate t set a = 1 -- ; b\nwhere c = 2;\n-- tail; y\n"),
              (Texts_t{"a", "update t set a = 1 -- ; b\nwhere c = 2"}));
    EXPECT_EQ(Texts("set term ^;\n-- ^ x\ncreate procedure p as begin end^\nset term ;^\nb;"),
              (Texts_t{"set term ^", "create procedure p as begin end", "set term ;", "b"}));
    auto statements = SplitScript("a;\n-- last; b");
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_TRUE(statements[0].terminated);
    statements = SplitScript("a; select 1 -- c;");
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[1].text, "select 1 -- c;");
    EXPECT_FALSE(statements[1].terminated);
    EXPECT_FALSE(statements[1].openComment);
}

TEST(Splitter, MarksAnUnterminatedLastStatement) {
    auto statements = SplitScript("a;\r\nb\r\n");
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_TRUE(statements[0].terminated);
    EXPECT_FALSE(statements[1].terminated);
    EXPECT_EQ(statements[1].text, "b");
    // An unclosed string or block swallows the rest.
    statements = SplitScript("a; insert into t values ('x;); b;");
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_FALSE(statements[1].terminated);
    statements = SplitScript("execute block as begin x; y;");
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_FALSE(statements[0].terminated);
    // A trailing comment alone is no statement.
    statements = SplitScript("a; /* tail */ -- end");
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_TRUE(statements[0].terminated);
    EXPECT_FALSE(statements[0].openComment);
}

TEST(Splitter, HandsOutAnUnclosedCommentAsAnUnterminatedStatement) {
    // Between statements: the comment itself is the statement.
    auto statements = SplitScript("a; /* open; b;\r\n c; \r\n");
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[1].text, "/* open; b;\r\n c;");
    EXPECT_FALSE(statements[1].terminated);
    EXPECT_TRUE(statements[1].openComment);
    EXPECT_FALSE(statements[0].openComment);
    statements = SplitScript("-- x\r\n/*/ a;");
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_EQ(statements[0].text, "/*/ a;");
    EXPECT_TRUE(statements[0].openComment);
    // Inside a statement, also under another terminator and in an EXECUTE BLOCK.
    for (const char* script : {"a; insert into t values (1) /* x; b;",
                               "set term ^; a^ create procedure p as begin /* end^",
                               "execute block as begin x = 1; end /* ;"}) {
        statements = SplitScript(script);
        ASSERT_FALSE(statements.empty()) << script;
        EXPECT_FALSE(statements.back().terminated) << script;
        EXPECT_TRUE(statements.back().openComment) << script;
    }
    // An unclosed string holds no comment.
    statements = SplitScript("a; insert into t values ('/* x);");
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_FALSE(statements[1].terminated);
    EXPECT_FALSE(statements[1].openComment);
}

TEST(Splitter, ReadsSetTerm) {
    std::string_view t;
    EXPECT_TRUE(ParseSetTerm("set term ^", t));
    EXPECT_EQ(t, "^");
    EXPECT_TRUE(ParseSetTerm("SET\r\nTERM\t!! ", t));
    EXPECT_EQ(t, "!!");
    EXPECT_TRUE(ParseSetTerm("SET TERM^", t));
    EXPECT_EQ(t, "^");
    EXPECT_FALSE(ParseSetTerm("SET TERM", t));
    EXPECT_FALSE(ParseSetTerm("SET TERMINATOR ^", t));
    EXPECT_FALSE(ParseSetTerm("SET TERM ^ !", t));
    EXPECT_FALSE(ParseSetTerm("SET TERM '", t));
    EXPECT_FALSE(ParseSetTerm("SET NAMES ^", t));
    // A comment where the terminator should stand: the terminator cannot be read.
    EXPECT_FALSE(ParseSetTerm("SET TERM /* new */ ^", t));
    EXPECT_FALSE(ParseSetTerm("SET TERM/*x*/^", t));
    EXPECT_FALSE(ParseSetTerm("SET TERM --x", t));
    EXPECT_FALSE(ParseSetTerm("SET TERM ^ -- new", t));
    // A terminator the splitter cannot read is not taken.
    EXPECT_EQ(Texts("SET TERM/*x*/^;a^b;"), (Texts_t{"SET TERM/*x*/^", "a^b"}));
}

TEST(Directives, RecognisesClientCommandsInAnyLetterCase) {
    Directive d;
    EXPECT_EQ(ParseDirective("commit").kind, DirectiveKind::Commit);
    EXPECT_EQ(ParseDirective("Commit").kind, DirectiveKind::Commit);
    EXPECT_EQ(ParseDirective("COMMIT  WORK").kind, DirectiveKind::Commit);
    EXPECT_EQ(ParseDirective("commit work /* done */").kind, DirectiveKind::Commit);
    EXPECT_EQ(ParseDirective("commit retain").kind, DirectiveKind::None);
    EXPECT_EQ(ParseDirective("rollback work").kind, DirectiveKind::Rollback);
    EXPECT_EQ(ParseDirective("rollback to savepoint a").kind, DirectiveKind::None);
    EXPECT_EQ(ParseDirective("reconnect").kind, DirectiveKind::Reconnect);
    EXPECT_EQ(ParseDirective("RECONNECT x").kind, DirectiveKind::None);
    EXPECT_EQ(ParseDirective("SET TERM ^").kind, DirectiveKind::SetTerm);
    EXPECT_TRUE(ParseDirective("SET TERM ^").valid);
    d = ParseDirective("set term /* new */ ^");
    EXPECT_EQ(d.kind, DirectiveKind::SetTerm);
    EXPECT_FALSE(d.valid);
    EXPECT_EQ(ParseDirective("SET GENERATOR g TO 1").kind, DirectiveKind::None);
    EXPECT_EQ(ParseDirective("SET STATISTICS INDEX i").kind, DirectiveKind::None);
    EXPECT_EQ(ParseDirective("insert into commit_log values (1)").kind, DirectiveKind::None);
}

TEST(Directives, ReadsAndChecksArguments) {
    Directive d = ParseDirective("SET NAMES WIN1251");
    EXPECT_EQ(d.kind, DirectiveKind::SetNames);
    EXPECT_TRUE(d.valid);
    EXPECT_EQ(d.argument, "WIN1251");
    EXPECT_FALSE(ParseDirective("set names").valid);
    EXPECT_FALSE(ParseDirective("set names a b").valid);

    d = ParseDirective("set sql dialect 3");
    EXPECT_EQ(d.kind, DirectiveKind::SetSqlDialect);
    EXPECT_EQ(d.argument, "3");
    EXPECT_TRUE(d.valid);
    EXPECT_FALSE(ParseDirective("SET SQL DIALECT 4").valid);
    EXPECT_FALSE(ParseDirective("SET SQL DIALECT").valid);

    EXPECT_TRUE(ParseDirective("SET AUTODDL ON").valid);
    EXPECT_TRUE(ParseDirective("set autoddl off").valid);
    EXPECT_TRUE(ParseDirective("SET AUTODDL").valid);
    d = ParseDirective("SET AUTODDL MAYBE");
    EXPECT_EQ(d.kind, DirectiveKind::SetAutoDdl);
    EXPECT_FALSE(d.valid);
}

TEST(Directives, TellsDataDefinitionFromDataChanges) {
    for (const char* ddl :
         {"CREATE TABLE t (a int)", "create or alter procedure p as begin end",
          "RECREATE VIEW v AS SELECT 1 FROM RDB$DATABASE", "alter table t add b int",
          "drop index i", "COMMENT ON TABLE t IS 'x'", "grant select on t to u",
          "revoke all on t from u", "declare external function f", "SET GENERATOR g TO 10",
          "/* c */ set statistics index i"})
        EXPECT_TRUE(IsDataDefinition(ddl)) << ddl;
    for (const char* dml :
         {"insert into t values (1)", "update t set a = 1", "delete from t", "execute procedure p",
          "execute block as begin end", "set transaction", "select * from create_log"})
        EXPECT_FALSE(IsDataDefinition(dml)) << dml;
}

// Only an INSERT of literals may go to the server inside a block: names that only procedural
// code knows, parameters, expressions and queries could mean something else there.
TEST(Batches, TakeOnlyInsertsOfLiterals) {
    for (const auto& [statement, table] : std::vector<std::pair<const char*, const char*>>{
             {"insert into t values (1)", "T"},
             {"INSERT INTO Goods (ID, NAME, PRICE) VALUES (1, 'it''s; ok', -1.5)", "GOODS"},
             {"insert into \"Mixed \"\"Case\"\"\" (\"A\", b) values (null, .5)", "Mixed \"Case\""},
             {"insert /* c */ into t$1 -- x\r\n(a)values('Ед. 2', +2e3, 1.E-3) -- вторая", "T$1"},
             {"insert into t(a) values('')", "T"}})
        EXPECT_EQ(PlainInsertTable(statement), table) << statement;
    for (const char* other : {"insert into t values (1) returning a",
                              "insert into t values (sqlcode)",
                              "insert into t values (gdscode)",
                              "insert into t values (row_count)",
                              "insert into t values (sqlstate)",
                              "insert into t values (current_timestamp)",
                              "insert into t values (:x)",
                              "insert into t values (?)",
                              "insert into t values (1 + 2)",
                              "insert into t values ('a' || 'b')",
                              "insert into t values (-(1))",
                              "insert into t values (- 1)",
                              "insert into t values (gen_id(g, 1))",
                              "insert into t values (next value for g)",
                              "insert into t values (x'41')",
                              "insert into t values (_win1251 'x')",
                              "insert into t values (date '2025-01-01')",
                              "insert into t values (\"dialect 1 string\")",
                              "insert into t values (1e)",
                              "insert into t values (1abc)",
                              "insert into t values ((select 1 from rdb$database))",
                              "insert into t select * from s",
                              "insert into t default values",
                              "insert into t (a, ) values (1)",
                              "insert into t (a values (1)",
                              "insert into t (a) values (1",
                              "insert into t (a) values (1) x",
                              "insert into t (a) values (1) /* open",
                              "insert into 1t values (1)",
                              "insert into \"\" values (1)",
                              "update or insert into t values (1) matching (a)",
                              "update t set a = 1",
                              "delete from t where a = 1",
                              "merge into t using s on t.a = s.a when matched then delete",
                              "execute procedure p",
                              "select 1 from rdb$database"})
        EXPECT_EQ(PlainInsertTable(other), "") << other;
}

} // namespace
