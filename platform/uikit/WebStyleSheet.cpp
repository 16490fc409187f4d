// The web view's default style sheet: how elements look before a page's own styles apply.
#include "platform/uikit/WebDocument.h"

namespace uikit::web {

const char* defaultStyleSheet()
{
    return R"CSS(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset, h1, h2, h3, h4, h5, h6,
noframes, ol, p, ul, center, dir, hr, menu, pre, header, footer, nav, section, article, aside, main,
figure, figcaption, details, summary { display: block; }
html { background-color: #ffffff; color: #000000; }
head, style, script, title, meta, link, base, template, noscript { display: none; }
body { margin: 8px; line-height: 1.35; }
li { display: list-item; }
h1 { font-size: 2em; margin: .67em 0; }
h2 { font-size: 1.5em; margin: .75em 0; }
h3 { font-size: 1.17em; margin: .83em 0; }
h4, p, blockquote, ul, fieldset, form, ol, dl, dir, menu { margin: 1.12em 0; }
h5 { font-size: .83em; margin: 1.5em 0; }
h6 { font-size: .75em; margin: 1.67em 0; }
h1, h2, h3, h4, h5, h6, b, strong, th { font-weight: bold; }
blockquote { margin-left: 40px; margin-right: 40px; }
i, cite, em, var, address { font-style: italic; }
pre, tt, code, kbd, samp { font-family: monospace; }
pre { white-space: pre; }
big { font-size: 1.17em; }
small, sub, sup { font-size: .83em; }
sub { vertical-align: sub; }
sup { vertical-align: super; }
s, strike, del { text-decoration: line-through; }
u, ins { text-decoration: underline; }
hr { border: 1px inset; margin: .5em 0; }
ol, ul, dir, menu, dd { margin-left: 40px; }
ol { list-style-type: decimal; }
ul { list-style-type: disc; }
ol ul, ul ol, ul ul, ol ol { margin-top: 0; margin-bottom: 0; }
center { text-align: center; }
a { color: #0000ee; text-decoration: underline; }
img { display: inline-block; }
br { display: block; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
caption { display: table-caption; text-align: center; }
video, audio, iframe, object, embed, canvas { display: inline-block; }
)CSS";
}

} // namespace uikit::web
