// Building a form from its layout: a text form description stored as a resource.
//
//   object FormMain: TFormMain
//     Caption = 'FormMain'          strings in single quotes ('' is a quote), #10 a byte
//     BorderIcons = [biSystemMenu]  sets in brackets; identifiers; integers
//     object btnStart: TButton      components nest; `end` closes an object
//       Action = actStart
//     end
//   end
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/Forms.h"

// Handlers that the layout's event properties name.
using HandlerTable = std::map<std::string, TNotifyEvent>;

struct LayoutValue {
    enum Kind { Integer, String, Identifier, Set } kind = Integer;
    long long integer = 0;
    std::string text;               // String and Identifier
    std::vector<std::string> items; // Set
};

struct LayoutObject {
    std::string name, className;
    int line = 0;
    std::vector<std::pair<std::string, LayoutValue>> properties;
    std::vector<LayoutObject> children;
};

// Parses a layout text; raises Exception with the line and what is wrong.
LayoutObject ParseLayout(const std::string& text);

// Builds the form's settings and components from a layout text, binding events and actions by
// name; raises Exception for anything it does not know or cannot bind.
void BuildForm(TForm& form, const std::string& text, const HandlerTable& handlers);

// The same from the layout resource of that name.
void LoadFormLayout(TForm& form, const std::string& resourceName, const HandlerTable& handlers);

// The component of that name and class among the form's, or an Exception naming it.
template <class T>
T* LayoutComponent(const TForm& form, const std::string& name) {
    T* c = dynamic_cast<T*>(form.FindComponent(name));
    if (!c) throw Exception("layout: component " + name + " of the expected kind is missing");
    return c;
}
