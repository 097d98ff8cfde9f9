// RTF reader: formatting, tables, code pages, Unicode, fields, skipped destinations and damaged input.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "KVL/UI/RTF.h"
#include "ui/RichTextDump.h"

using namespace KVL::UI;
using TestUtil::DumpDocument;

namespace {

struct TRtfCase {
  const char* name;
  std::string rtf;
  std::string expected;  // DumpDocument of the result
};

const TRtfCase kRtfCases[] = {
    {"groups and character formatting",
     R"({\rtf1\ansi plain {\b bold {\i both}} \ul under\ulnone  {\strike gone}\b0\par})",
     "plain {b:bold }{b i:both} {u:under} {s:gone}"},
    {"toggles with a zero parameter",
     R"({\rtf1\b on\b0 off\i1 it\i0\ul u\ul0 x})", "{b:on}off{i:it}{u:u}x"},
    {"sizes and colour table",
     R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green128\blue0;}\fs28 big\fs0 {\cf1 red}{\cb2 back}{\highlight1 hi}{\cf9 bad}\par})",
     "{14pt:big}{#FF0000:red}{bg#008000:back}{bg#FF0000:hi}bad"},
    {"plain resets the character format",
     R"({\rtf1\b\i\fs20 bold\plain  plain})", "{10pt b i:bold} plain"},
    {"paragraph format, line breaks and tabs",
     R"({\rtf1\pard\qc centre\par\pard\li720\fi-360\sb120\sa240 indented\par\qr right\line next\tab tab\par\pard\qj just})",
     "<c>centre | <li720 fi-360 sb120 sa240>indented | <r li720 fi-360 sb120 sa240>right\nnext\ttab | just"},
    {"paragraph format of a paragraph without a closing par",
     R"({\rtf1 one\par\qc two})", "one | <c>two"},
    {"font table with a charset decodes hex bytes in its code page",
     R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fnil\fcharset0 Arial;}{\f1\fnil\fcharset204 Arial Cyr;}}\f0 caf\'e9 \f1\'cf\'f0\'e8\'e2\'e5\'f2\par})",
     "{f=Arial:caf\u00e9 }{f=Arial Cyr:\u041f\u0440\u0438\u0432\u0435\u0442}"},
    {"font table without groups",
     R"({\rtf1{\fonttbl\f0\froman Times;\f1\fswiss Arial;}\f1 x\f0 y})", "{f=Arial:x}{f=Times:y}"},
    {"document code page for bytes, escaped and raw",
     "{\\rtf1\\ansi\\ansicpg1251 \\'c4\\'e0 \xc4\xe0}", "\u0414\u0430 \u0414\u0430"},
    {"double-byte code page joins byte pairs",
     R"({\rtf1\ansi\ansicpg932 \'82\'a0!})", "\u3042!"},
    {"unicode with the fallback skipped",
     R"({\rtf1\uc1 caf\u233?\u8364? {\uc2\u8212\'97x}y\uc0\u233 e})", "caf\u00e9\u20ac \u2014y\u00e9e"},
    {"negative unicode values and surrogate pairs",
     R"({\rtf1\u-3913?\u-10179?\u-8704?!})", "\uf0b7\U0001F600!"},
    {"escapes and named characters",
     R"({\rtf1 a\\b\{c\}d\~e\-f\_g\emdash\bullet\ldblquote q\rdblquote})",
     "a\\b{c}d\u00a0ef\u2011g\u2014\u2022\u201cq\u201d"},
    {"destinations are skipped",
     R"({\rtf1{\info{\title T}{\author A}}{\stylesheet{\s0 Normal;}}{\*\generator W;}{\*\unknown zz {nested}}{\header H}{\pict\pngblip 89504e}{\*\bkmkstart b}visible\par})",
     "visible"},
    {"tables inside skipped groups change nothing",
     R"({\rtf1{\colortbl;\red255\green0\blue0;}{\*\unknown{\colortbl;\red0\green0\blue255;}{\fonttbl{\f0 X;}}}{\cf1 red}})",
     "{#FF0000:red}"},
    {"unknown control words are ignored",
     R"({\rtf1\foo\bar12 text \baz-3 more\qqq})", "text more"},
    {"binary data is skipped by its length",
     "{\\rtf1 a\\bin3 }{x b}", "a b"},
    {"hyperlink field",
     R"({\rtf1 see {\field{\*\fldinst{HYPERLINK "https://example.com/a"}}{\fldrslt{\ul site}}} now})",
     "see {u ->https://example.com/a:site} now"},
    {"hyperlink with a bare address and switches",
     R"({\rtf1{\field{\*\fldinst HYPERLINK \\o "tip" www.example.org}{\fldrslt home}}})",
     "{->www.example.org:home}"},
    {"other fields show their result without a link",
     R"({\rtf1 page {\field{\*\fldinst PAGE}{\fldrslt 3}}})", "page 3"},
    {"truncated inside a group keeps what was read",
     R"({\rtf1{\fonttbl{\f0 Arial;}}\f0 Hello {\b wor)", "{f=Arial:Hello }{f=Arial b:wor}"},
    {"truncated inside a control word or hex byte",
     R"({\rtf1 abc\par de\'4)", "abc | de"},
    {"text after the document's group is ignored",
     R"({\rtf1 a}b})", "a"},
    {"not RTF at all reads as text",
     "plain words", "plain words"},
    {"empty input", "", ""},
};

} // namespace

TEST(RTF, DocumentsReadAsWritten) {
  for (const TRtfCase& c : kRtfCases) {
    EXPECT_EQ(DumpDocument(ParseRTF(c.rtf)), c.expected) << c.name;
  }
}

TEST(RTF, DeepNestingIsSkippedWithoutExhaustingTheStack) {
  const int depth = 100000;
  std::string rtf = "{\\rtf1 start";
  rtf.append(depth, '{');
  rtf += "hidden";
  rtf.append(depth, '}');
  rtf += " end}";
  EXPECT_EQ(ParseRTF(rtf).PlainText(), "start end");
}

TEST(RTF, HostileInputTakesLinearTime) {
  // Many formatting changes, groups and fields in a few megabytes: the work stays linear.
  std::string rtf = "{\\rtf1";
  for (int i = 0; i < 100000; ++i) rtf += "{\\field{\\*\\fldinst HYPERLINK \"http://a\"}{\\fldrslt{\\b x}}}\\uc9\\u65 ";
  rtf += std::string(200000, '{');
  auto start = std::chrono::steady_clock::now();
  TKVLRichDocument doc = ParseRTF(rtf);
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(doc.Paragraphs.size(), 1u);
  EXPECT_EQ(doc.Paragraphs[0].Runs.size(), 200000u);
  EXPECT_LT(seconds, 10.0);
}
