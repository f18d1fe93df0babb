#include <gtest/gtest.h>

#include "grammar/parser.h"

namespace {

struct Parsed {
    ParserInterface* p = GetParserInterface();
    ~Parsed() { ReleaseParserInterface(p); }
    bool Run(const std::string& text, bool streaming = false) {
        p->SetStreaming(streaming);
        p->OpenBuffer(text);
        return p->Parse();
    }
    // The tree as "symbol(text)" lines, indented by depth.
    std::string Dump(PGNode n, int depth = 0) {
        std::string out;
        for (; n; n = p->GetNextSiblingNode(n)) {
            out += std::string(depth * 2, ' ') + p->GetNodeSymbolName(n);
            if (p->GetChildCount(n) == 0) out += "(" + p->GetNodeText(n) + ")";
            out += "\n" + Dump(p->GetChildNode(n, 0), depth + 1);
        }
        return out;
    }
};

const char kDump[] =
    "$comment hello\n world $end\n"
    "$timescale 1ns $end\n"
    "$scope module top $end\n"
    "$var wire 8 # data [7:0] $end\n"
    "$var reg 1 ! b[3] $end\n"
    "$upscope $end\n"
    "$enddefinitions $end\n"
    "#0\n$dumpvars\nb1010 #\n1!\n$end\n"
    "#12345678901\nr1.5 #\n$comment c $end\nz!\n";

} // namespace

TEST(VcdParse, TreeShapeSymbolsAndTexts) {
    Parsed t;
    ASSERT_TRUE(t.Run(kDump));
    const PGNode root = t.p->FindSymbolNode("value_change_dump", 1);
    ASSERT_NE(root, 0u);
    EXPECT_EQ(t.Dump(t.p->GetChildNode(root, 0)),
              "declaration_command\n"
              "  comment_command\n"
              "    comment_string(hello world)\n"
              "  timescale_command\n"
              "    time_coefficient(1)\n"
              "    time_unit(ns)\n"
              "  scope_command\n"
              "    scope_type(module)\n"
              "    scope_identifier(top)\n"
              "    scope_body\n"
              "      var_command\n"
              "        var_type(wire)\n"
              "        var_size(8)\n"
              "        var_identifier(#)\n"
              "        var_name(data)\n"
              "        var_range\n"
              "          msb_index(7)\n"
              "          lsb_index(0)\n"
              "    scope_body\n"
              "      var_command\n"
              "        var_type(reg)\n"
              "        var_size(1)\n"
              "        var_identifier(!)\n"
              "        var_name(b)\n"
              "        var_range\n"
              "          bit_select_index(3)\n"
              "simulation_command\n"
              "  simulation_time(0)\n"
              "  dumpvars_command\n"
              "    value_change\n"
              "      vector_number(1010)\n"
              "      var_identifier(#)\n"
              "    value_change\n"
              "      binary_number(1)\n"
              "      var_identifier(!)\n"
              "  simulation_time(12345678901)\n"
              "  value_change\n"
              "    real_number(1.5)\n"
              "    var_identifier(#)\n"
              "  comment_command\n"
              "    comment_string(c)\n"
              "  value_change\n"
              "    binary_number(z)\n"
              "    var_identifier(!)\n");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("var_command", 1)), "wire 8 # data 7 0");
    EXPECT_EQ(t.p->FindSymbolNode("value_change", 3), t.p->FindSymbolNode("value_change", 3));
    EXPECT_EQ(t.p->FindSymbolNode("value_change", 5), 0u);
    EXPECT_EQ(t.p->GetChildNode(root, 7), 0u);
    EXPECT_EQ(t.p->GetNodeSymbolName(0), "");
    EXPECT_EQ(t.p->GetChildNode(12345, 0), 0u);
}

TEST(VcdParse, StreamingYieldsTheSameSimulationCommands) {
    Parsed full, lazy;
    ASSERT_TRUE(full.Run(kDump));
    ASSERT_TRUE(lazy.Run(kDump, true));
    EXPECT_FALSE(lazy.p->ParseFinished());
    auto sim = [](Parsed& t) {
        const PGNode root = t.p->FindSymbolNode("value_change_dump", 1);
        return t.Dump(t.p->GetChildNode(t.p->GetNextSiblingNode(t.p->GetChildNode(root, 0)), 0));
    };
    EXPECT_EQ(sim(lazy), sim(full));
    EXPECT_TRUE(lazy.p->ParseFinished());
    EXPECT_EQ(lazy.p->GetMessageCount(), 0);
}

TEST(VcdParse, WhitespaceAndLayoutVariants) {
    Parsed t;
    ASSERT_TRUE(
        t.Run("$timescale\r\n\t100\r\n\tps\r\n$end\r\n$scope module m $end "
              "$var wire 4 a~ v [ 3 : 0 ] $end $var wire 2 b w[1:0] $end "
              "$var wire 1 c mem[2][0] $end $var wire 1 d \\esc.name $end\r\n"
              "$upscope $end $enddefinitions $end #1 b1 a~ 0c\r\n"));
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("time_coefficient", 1)), "100");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("time_unit", 1)), "ps");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("var_name", 1)), "v");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("msb_index", 1)), "3");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("var_name", 2)), "w");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("var_name", 3)), "mem[2]");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("bit_select_index", 1)), "0");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("var_name", 4)), "\\esc.name");
    EXPECT_EQ(t.p->GetNodeText(t.p->FindSymbolNode("var_identifier", 5)), "a~");
}

TEST(VcdParse, ErrorsCarryCodeExpectingAndLine) {
    struct Case {
        const char* text;
        int code;
        const char* expecting;
        const char* line;
    } cases[] = {
        {"$scope module m $end\n$var wire 1 ! a", 1005, "$end to close $var", "2"},
        {"$scope module m $end\n$var wire x ! a $end", 1005, "decimal number", "2"},
        {"$timescale ns $end", 1005, "time coefficient", "1"},
        {"$var wire 1 ! a $end\n", 1005, "$enddefinitions", "2"},
        {"junk", 1005, "declaration command", "1"},
        {"$enddefinitions $end\n#1\n\n1!\n%% bad\n", 1006, "simulation command", "5"},
        {"$enddefinitions $end\n#1x\n", 1005, "decimal time", "2"},
        {"$enddefinitions $end\nb102 !\n", 1005, "binary digits", "2"},
        {"$enddefinitions $end\nb1\n", 1005, "identifier code", "2"},
        {"$enddefinitions $end\n$dumpvars 1! #3 $end\n", 1005, "value change or $end", "2"},
        {"$enddefinitions $end\n$comment never closed\n", 1005, "$end", "2"},
    };
    for (const Case& c : cases) {
        for (bool streaming : {false, true}) {
            Parsed t;
            t.Run(c.text, streaming);
            if (streaming) { // errors of the simulation part show while walking
                const PGNode root = t.p->FindSymbolNode("value_change_dump", 1);
                for (PGNode n = t.p->GetChildNode(t.p->GetChildNode(root, 1), 0); n;
                     n = t.p->GetNextSiblingNode(n)) {
                }
            }
            ASSERT_EQ(t.p->GetMessageCount(), 1) << c.text;
            EXPECT_EQ(t.p->GetMessageCode(0), c.code) << c.text;
            EXPECT_EQ(t.p->GetMessageProperty(0, "Expecting").rfind(c.expecting, 0), 0u)
                << c.text << " -> " << t.p->GetMessageProperty(0, "Expecting");
            EXPECT_EQ(t.p->GetMessageProperty(0, "LineNumber"), c.line) << c.text;
            EXPECT_EQ(t.p->GetMessageDescription(0), ParserMessageText(c.code));
        }
    }
    Parsed none;
    EXPECT_FALSE(none.p->Parse());
    EXPECT_EQ(none.p->GetMessageCode(0), 1601);
    EXPECT_FALSE(none.p->OpenFileStream("/nonexistent/x.vcd"));
    EXPECT_EQ(none.p->GetMessageCode(0), 1602);
}

TEST(VcdParse, DeeplyNestedScopesStopWithAMessage) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "$scope module m $end ";
    Parsed t;
    EXPECT_FALSE(t.Run(text));
    EXPECT_EQ(t.p->GetMessageCode(0), 1004);
}
