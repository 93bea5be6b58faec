// Building a form from a text form description.
#include "ui/Layout.h"

#include <gtest/gtest.h>

namespace {

const char* const kSmall =
    "object F: TForm\n"
    "  ClientWidth = 100\n"
    "  ClientHeight = 50\n"
    "  Caption = 'It''s'#10'two'\n"
    "  OnCreate = Made\n"
    "  object l: TLabel\n"
    "    Caption = 'x'\n"
    "  end\n"
    "  object b: TButton\n"
    "    Action = a\n"
    "    TabOrder = 0\n"
    "  end\n"
    "  object list: TActionList\n"
    "    object a: TAction\n"
    "      Caption = 'Go'\n"
    "    end\n"
    "  end\n"
    "end\n";

TEST(Layout, BuildsComponentsAndBindsThem) {
    TForm form;
    int made = 0;
    BuildForm(form, kSmall, {{"Made", [&](TObject*) { ++made; }}});
    EXPECT_EQ(form.Name, "F");
    EXPECT_EQ(form.Caption(), "It's\ntwo");
    EXPECT_EQ(form.ClientWidth, 100);
    ASSERT_EQ(form.Controls.size(), 2u);
    auto* b = LayoutComponent<TButton>(form, "b");
    EXPECT_EQ(b->Caption(), "Go");
    EXPECT_EQ(b->Action(), LayoutComponent<TAction>(form, "a"));
    form.OnCreate(&form);
    EXPECT_EQ(made, 1);
    EXPECT_THROW(LayoutComponent<TEdit>(form, "b"), Exception);
}

TEST(Layout, MalformedTextIsAClearError) {
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "layout line 1: the layout is empty"},
        {"thing\n", "layout line 1: expected `object Name: Class`"},
        {"object F TForm\nend\n", "layout line 1: expected `object Name: Class`"},
        {"object F: TForm\n  ClientWidth = 1\n", "layout line 1: object F has no `end`"},
        {"object F: TForm\n  ClientWidth 1\nend\n", "layout line 2: expected `Name = value`"},
        {"object F: TForm\n  Caption = 'open\nend\n", "layout line 2: unterminated string"},
        {"object F: TForm\n  Caption = #999\nend\n", "layout line 2: bad #byte in a string"},
        {"object F: TForm\n  ClientWidth = 12x\nend\n", "layout line 2: bad number `12x`"},
        {"object F: TForm\n  Colour = 1\nend\n", "layout line 1: F: unknown property Colour"},
        {"object F: TForm\n  ClientWidth = 'wide'\nend\n", "layout line 1: F.ClientWidth needs a number"},
        {"object F: TForm\n  Caption = 'x'\nend\n", "layout line 1: the form needs a client size"},
        {"object F: TForm\n  ClientWidth = 1\n  ClientHeight = 1\n  OnCreate = Nope\nend\n",
         "layout line 1: F.OnCreate: no handler Nope"},
        {"object F: TForm\n  ClientWidth = 1\n  ClientHeight = 1\n  object x: TMemo\n  end\nend\n",
         "layout line 4: unknown component class TMemo"},
        {"object F: TForm\n  ClientWidth = 1\n  ClientHeight = 1\n  object b: TButton\n    Action = a\n  end\nend\n",
         "layout line 4: no action named a"},
        {"object F: TForm\n  ClientWidth = 1\n  ClientHeight = 1\n  object b: TButton\n  end\n  object b: TLabel\n  end\nend\n",
         "layout line 6: a second component named b"},
        {"object F: TForm\nend\nend\n", "layout line 3: text after the last `end`"},
        {"object F: TForm\n  BorderIcons = [biSystemMenu,]\nend\n", "layout line 2: empty set item"},
    };
    for (const auto& c : cases) {
        TForm form;
        try {
            BuildForm(form, c.text, {});
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message) << c.text;
        }
    }
}

}  // namespace
