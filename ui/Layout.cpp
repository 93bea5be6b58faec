// Parsing a text form description and building a form from it.
#include "ui/Layout.h"

#include <cctype>

#include "rtl/Resources.h"
#include "rtl/SysUtils.h"

namespace {

[[noreturn]] void Fail(int line, const std::string& what) {
    throw Exception("layout line " + IntToStr(line) + ": " + what);
}

class Parser {
public:
    explicit Parser(const std::string& text) { lines_.SetText(text); }

    LayoutObject Parse() {
        SkipBlank();
        if (index_ >= lines_.Count()) Fail(1, "the layout is empty");
        LayoutObject root = ParseObject();
        SkipBlank();
        if (index_ < lines_.Count()) Fail(index_ + 1, "text after the last `end`");
        return root;
    }

private:
    void SkipBlank() {
        while (index_ < lines_.Count() && Trim(lines_[index_]).empty()) ++index_;
    }

    static bool IsIdentChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
    }

    LayoutObject ParseObject() {
        const int line = index_ + 1;
        std::string head = Trim(lines_[index_++]);
        if (head.rfind("object ", 0) != 0) Fail(line, "expected `object Name: Class`");
        std::string rest = Trim(head.substr(7));
        auto colon = rest.find(':');
        if (colon == std::string::npos) Fail(line, "expected `object Name: Class`");
        LayoutObject obj;
        obj.line = line;
        obj.name = Trim(rest.substr(0, colon));
        obj.className = Trim(rest.substr(colon + 1));
        if (obj.name.empty() || obj.className.empty()) Fail(line, "an object needs a name and a class");
        for (;;) {
            SkipBlank();
            if (index_ >= lines_.Count()) Fail(line, "object " + obj.name + " has no `end`");
            std::string t = Trim(lines_[index_]);
            if (t == "end") {
                ++index_;
                return obj;
            }
            if (t.rfind("object ", 0) == 0) {
                obj.children.push_back(ParseObject());
                continue;
            }
            ParseProperty(t, index_ + 1, obj);
            ++index_;
        }
    }

    static void ParseProperty(const std::string& t, int line, LayoutObject& obj) {
        auto eq = t.find('=');
        if (eq == std::string::npos) Fail(line, "expected `Name = value`");
        std::string name = Trim(t.substr(0, eq));
        if (name.empty()) Fail(line, "a property needs a name");
        for (char c : name) {
            if (!IsIdentChar(c)) Fail(line, "bad property name `" + name + "`");
        }
        obj.properties.emplace_back(name, ParseValue(Trim(t.substr(eq + 1)), line));
    }

    static LayoutValue ParseValue(const std::string& v, int line) {
        LayoutValue value;
        if (v.empty()) Fail(line, "a property needs a value");
        if (v[0] == '\'' || v[0] == '#') {
            value.kind = LayoutValue::String;
            std::size_t p = 0;
            while (p < v.size()) {
                if (v[p] == '\'') {
                    ++p;
                    for (;;) {
                        if (p >= v.size()) Fail(line, "unterminated string");
                        if (v[p] == '\'') {
                            if (p + 1 < v.size() && v[p + 1] == '\'') {
                                value.text += '\'';
                                p += 2;
                                continue;
                            }
                            ++p;
                            break;
                        }
                        value.text += v[p++];
                    }
                } else if (v[p] == '#') {
                    std::size_t q = ++p;
                    while (p < v.size() && std::isdigit(static_cast<unsigned char>(v[p]))) ++p;
                    if (q == p || p - q > 3) Fail(line, "bad #byte in a string");
                    int b = std::stoi(v.substr(q, p - q));
                    if (b > 255) Fail(line, "bad #byte in a string");
                    value.text += static_cast<char>(b);
                } else {
                    Fail(line, "unexpected text after a string");
                }
            }
            return value;
        }
        if (v[0] == '[') {
            value.kind = LayoutValue::Set;
            if (v.back() != ']') Fail(line, "unterminated set");
            std::string inner = v.substr(1, v.size() - 2);
            std::size_t start = 0;
            while (start <= inner.size()) {
                auto comma = inner.find(',', start);
                std::string item = Trim(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
                if (!item.empty()) value.items.push_back(item);
                else if (!Trim(inner).empty()) Fail(line, "empty set item");
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            return value;
        }
        if (v[0] == '-' || std::isdigit(static_cast<unsigned char>(v[0]))) {
            value.kind = LayoutValue::Integer;
            std::size_t p = v[0] == '-' ? 1 : 0;
            if (p >= v.size() || v.size() - p > 10) Fail(line, "bad number `" + v + "`");
            for (std::size_t q = p; q < v.size(); ++q) {
                if (!std::isdigit(static_cast<unsigned char>(v[q]))) Fail(line, "bad number `" + v + "`");
            }
            value.integer = std::stoll(v);
            return value;
        }
        for (char c : v) {
            if (!IsIdentChar(c)) Fail(line, "bad value `" + v + "`");
        }
        value.kind = LayoutValue::Identifier;
        value.text = v;
        return value;
    }

    TStringList lines_;
    int index_ = 0;
};

// Reads typed property values, failing with the line of the object.
class Properties {
public:
    Properties(const LayoutObject& obj) : obj_(obj) {}

    template <class F>
    void Each(F f) const {
        for (const auto& [name, value] : obj_.properties) f(name, value);
    }
    [[noreturn]] void Unknown(const std::string& name) const {
        Fail(obj_.line, obj_.name + ": unknown property " + name);
    }
    int Int(const std::string& name, const LayoutValue& v) const {
        if (v.kind != LayoutValue::Integer || v.integer < -100000 || v.integer > 100000) {
            Fail(obj_.line, obj_.name + "." + name + " needs a number");
        }
        return static_cast<int>(v.integer);
    }
    const std::string& Str(const std::string& name, const LayoutValue& v) const {
        if (v.kind != LayoutValue::String) Fail(obj_.line, obj_.name + "." + name + " needs a string");
        return v.text;
    }
    const std::string& Ident(const std::string& name, const LayoutValue& v) const {
        if (v.kind != LayoutValue::Identifier) Fail(obj_.line, obj_.name + "." + name + " needs a name");
        return v.text;
    }
    bool Bool(const std::string& name, const LayoutValue& v) const {
        const std::string& id = Ident(name, v);
        if (id == "True") return true;
        if (id == "False") return false;
        Fail(obj_.line, obj_.name + "." + name + " needs True or False");
    }
    unsigned Colour(const std::string& name, const LayoutValue& v) const {
        if (v.kind == LayoutValue::Integer && v.integer >= 0 && v.integer <= 0xFFFFFF) {
            return static_cast<unsigned>(v.integer);
        }
        static const std::map<std::string, unsigned> named = {
            {"clBtnFace", clBtnFace}, {"clWindowText", clWindowText}, {"clInfoBk", clInfoBk},
            {"clWindow", clWindow},   {"clBlue", clBlue},             {"clBlack", 0x000000},
            {"clWhite", 0xFFFFFF},
        };
        auto it = named.find(Ident(name, v));
        if (it == named.end()) Fail(obj_.line, obj_.name + "." + name + ": unknown colour " + v.text);
        return it->second;
    }
    TNotifyEvent Handler(const std::string& name, const LayoutValue& v, const HandlerTable& handlers) const {
        auto it = handlers.find(Ident(name, v));
        if (it == handlers.end()) Fail(obj_.line, obj_.name + "." + name + ": no handler " + v.text);
        return it->second;
    }
    const LayoutObject& obj_;
};

// Font settings shared by the form and the controls; false when the name is no font setting.
bool ApplyFont(TFont& font, const Properties& p, const std::string& name, const LayoutValue& v) {
    if (name == "Font.Name") {
        font.Name = p.Str(name, v);
    } else if (name == "Font.Height") {
        font.Height = p.Int(name, v);
    } else if (name == "Font.Charset") {
        if (v.kind == LayoutValue::Integer) {
            font.Charset = p.Int(name, v);
        } else {
            const std::string& id = p.Ident(name, v);
            if (id == "SHIFTJIS_CHARSET") font.Charset = 128;
            else if (id == "DEFAULT_CHARSET") font.Charset = 1;
            else Fail(p.obj_.line, "unknown character set " + id);
        }
    } else if (name == "Font.Color") {
        font.Color = p.Colour(name, v);
    } else if (name == "Font.Style") {
        if (v.kind != LayoutValue::Set) Fail(p.obj_.line, "Font.Style needs a set");
        font.Underline = false;
        for (const auto& item : v.items) {
            if (item == "fsUnderline") font.Underline = true;
            else Fail(p.obj_.line, "unknown font style " + item);
        }
    } else {
        return false;
    }
    return true;
}

struct PendingAction {
    TControl* control;
    std::string action;
    int line;
};

// Settings every control has; false when the name is none of them.
bool ApplyControl(TControl& c, const Properties& p, const std::string& name, const LayoutValue& v,
                  const HandlerTable& handlers, std::vector<PendingAction>& pending) {
    if (name == "Left") c.Left = p.Int(name, v);
    else if (name == "Top") c.Top = p.Int(name, v);
    else if (name == "Width") c.Width = p.Int(name, v);
    else if (name == "Height") c.Height = p.Int(name, v);
    else if (name == "TabOrder") c.TabOrder = p.Int(name, v);
    else if (name == "Caption") c.SetCaption(p.Str(name, v));
    else if (name == "Color") c.Color = p.Colour(name, v);
    else if (name == "ParentFont") p.Bool(name, v);
    else if (name == "OnClick") c.OnClick = p.Handler(name, v, handlers);
    else if (name == "Action") pending.push_back({&c, p.Ident(name, v), p.obj_.line});
    else if (name == "Cursor") {
        const std::string& id = p.Ident(name, v);
        if (id == "crHandPoint") c.Cursor = crHandPoint;
        else if (id == "crDefault") c.Cursor = crDefault;
        else Fail(p.obj_.line, "unknown cursor " + id);
    } else {
        return ApplyFont(c.Font, p, name, v);
    }
    return true;
}

template <class T>
T* NewComponent(TForm& form, const LayoutObject& obj) {
    if (form.FindComponent(obj.name)) Fail(obj.line, "a second component named " + obj.name);
    T* c = form.Adopt(std::make_unique<T>());
    c->Name = obj.name;
    return c;
}

void BuildControl(TForm& form, const LayoutObject& obj, const HandlerTable& handlers,
                  std::vector<PendingAction>& pending) {
    Properties p(obj);
    if (obj.className == "TActionList") {
        NewComponent<TActionList>(form, obj);
        p.Each([&](const std::string& name, const LayoutValue&) { p.Unknown(name); });
        for (const auto& child : obj.children) {
            if (child.className != "TAction") Fail(child.line, "an action list holds only actions");
            if (!child.children.empty()) Fail(child.line, "an action holds no components");
            TAction* a = NewComponent<TAction>(form, child);
            Properties ap(child);
            ap.Each([&](const std::string& name, const LayoutValue& v) {
                if (name == "Caption") a->SetCaption(ap.Str(name, v));
                else if (name == "OnExecute") a->OnExecute = ap.Handler(name, v, handlers);
                else ap.Unknown(name);
            });
        }
        return;
    }
    if (!obj.children.empty()) Fail(obj.line, obj.name + " holds no components");
    TControl* c = nullptr;
    TFont inherited = form.Font;
    if (obj.className == "TLabel") {
        auto* l = NewComponent<TLabel>(form, obj);
        c = l;
        c->Font = inherited;
        p.Each([&](const std::string& name, const LayoutValue& v) {
            if (name == "Transparent") l->Transparent = p.Bool(name, v);
            else if (!ApplyControl(*l, p, name, v, handlers, pending)) p.Unknown(name);
        });
    } else if (obj.className == "TEdit") {
        auto* e = NewComponent<TEdit>(form, obj);
        c = e;
        c->Font = inherited;
        c->Color = clWindow;
        p.Each([&](const std::string& name, const LayoutValue& v) {
            if (name == "ReadOnly") e->ReadOnly = p.Bool(name, v);
            else if (name == "Text") e->SetText(p.Str(name, v));
            else if (!ApplyControl(*e, p, name, v, handlers, pending)) p.Unknown(name);
        });
    } else if (obj.className == "TButton") {
        auto* b = NewComponent<TButton>(form, obj);
        c = b;
        c->Font = inherited;
        p.Each([&](const std::string& name, const LayoutValue& v) {
            if (!ApplyControl(*b, p, name, v, handlers, pending)) p.Unknown(name);
        });
    } else {
        Fail(obj.line, "unknown component class " + obj.className);
    }
    form.Controls.push_back(c);
}

}  // namespace

LayoutObject ParseLayout(const std::string& text) { return Parser(text).Parse(); }

void BuildForm(TForm& form, const std::string& text, const HandlerTable& handlers) {
    LayoutObject root = ParseLayout(text);
    form.Name = root.name;
    Properties p(root);
    p.Each([&](const std::string& name, const LayoutValue& v) {
        if (name == "Caption") form.SetCaption(p.Str(name, v));
        else if (name == "ClientWidth") form.ClientWidth = p.Int(name, v);
        else if (name == "ClientHeight") form.ClientHeight = p.Int(name, v);
        else if (name == "Left") form.Left = p.Int(name, v);
        else if (name == "Top") form.Top = p.Int(name, v);
        else if (name == "Color") form.Color = p.Colour(name, v);
        else if (name == "PixelsPerInch" || name == "TextHeight") p.Int(name, v);
        else if (name == "OnCreate") form.OnCreate = p.Handler(name, v, handlers);
        else if (name == "OnDestroy") form.OnDestroy = p.Handler(name, v, handlers);
        else if (name == "OnPaint") form.OnPaint = p.Handler(name, v, handlers);
        else if (name == "BorderStyle") {
            const std::string& id = p.Ident(name, v);
            if (id == "bsSingle") form.BorderStyle = bsSingle;
            else if (id == "bsSizeable") form.BorderStyle = bsSizeable;
            else Fail(root.line, "unknown border style " + id);
        } else if (name == "Position") {
            const std::string& id = p.Ident(name, v);
            if (id == "poScreenCenter") form.Position = poScreenCenter;
            else if (id == "poDesigned") form.Position = poDesigned;
            else Fail(root.line, "unknown position " + id);
        } else if (name == "BorderIcons") {
            if (v.kind != LayoutValue::Set) Fail(root.line, "BorderIcons needs a set");
            form.BorderIcons = TBorderIcons{false, false, false};
            for (const auto& item : v.items) {
                if (item == "biSystemMenu") form.BorderIcons.SystemMenu = true;
                else if (item == "biMinimize") form.BorderIcons.Minimize = true;
                else if (item == "biMaximize") form.BorderIcons.Maximize = true;
                else Fail(root.line, "unknown border icon " + item);
            }
        } else if (!ApplyFont(form.Font, p, name, v)) {
            p.Unknown(name);
        }
    });
    if (form.ClientWidth <= 0 || form.ClientHeight <= 0) Fail(root.line, "the form needs a client size");
    std::vector<PendingAction> pending;
    for (const auto& child : root.children) BuildControl(form, child, handlers, pending);
    for (const auto& pa : pending) {
        auto* action = dynamic_cast<TAction*>(form.FindComponent(pa.action));
        if (!action) Fail(pa.line, "no action named " + pa.action);
        pa.control->SetAction(action);
    }
}

void LoadFormLayout(TForm& form, const std::string& resourceName, const HandlerTable& handlers) {
    TResourceStream stream(HInstance(), resourceName, "#10");  // RT_RCDATA
    BuildForm(form, std::string(reinterpret_cast<const char*>(stream.Memory()), stream.Size()), handlers);
}
