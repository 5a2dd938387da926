#include "record/NightStyle.h"

namespace kalvo::record {

std::string_view NightReportStyle()
{
    return "body{font-family:sans-serif;margin:1em auto;max-width:1000px;padding:0 1em;color:#222}\n"
           "h1{font-size:1.5em;margin-bottom:0}h2{font-size:1.15em;margin-top:1.5em}\n"
           ".span{color:#555;margin-top:.2em}\n"
           "table{border-collapse:collapse;font-size:.9em}th,td{padding:.2em .8em;text-align:left;"
           "border-bottom:1px solid #ddd}\n"
           "svg.chart{display:block;width:100%;height:auto}\n"
           // A phone shows the narrow chart, whose texts stay readable at its width and whose whole
           // span is in view; a wider screen the wide one.
           "div.narrow{display:none}\n"
           "@media (max-width:800px){div.wide{display:none}div.narrow{display:block}body{padding:0 .5em}"
           "th,td{padding:.2em .4em}}\n"
           ".label{font-weight:bold;fill:#333;paint-order:stroke;stroke:#fff;stroke-width:4px;stroke-linejoin:round}"
           ".tick{text-anchor:end;fill:#555}.time{text-anchor:middle;fill:#555}\n"
           ".plot{fill:#fafafa;stroke:#ccc}.grid{stroke:#ddd;stroke-dasharray:2 3}\n"
           "g.lockout path{stroke:#b00020;stroke-width:1.5}g.linkloss path{stroke:#f08c00;stroke-width:1.5;"
           "stroke-dasharray:5 3}\n"
           "g.lockout text,g.linkloss text{text-anchor:middle;font-weight:bold}g.lockout text{fill:#b00020}"
           "g.linkloss text{fill:#c06c00}\n"
           ".legend span{display:inline-block;margin-right:1em;font-size:.85em}"
           ".legend i{display:inline-block;width:.9em;height:.9em;margin-right:.3em;vertical-align:-1px}\n"
           ".legend i.mark{width:3px;margin-left:.2em}.legend i.lockout{background:#b00020}"
           ".legend i.linkloss{background:#f08c00}\n"
           // A lockout panel beside its record; on a phone the record goes below.
           "div.panel{display:flex;flex-wrap:wrap;gap:.5em 1.5em;align-items:flex-start;margin:1em 0}"
           "svg.panel{flex:1 1 300px;max-width:620px;height:auto}svg.panel .label{font-size:11px}"
           "path.moment{stroke:#b00020;stroke-width:1.5;stroke-dasharray:4 2}"
           "table.record caption{text-align:left;font-weight:bold;color:#b00020;padding:.2em .8em}\n"
           "td.when{white-space:nowrap}"
           "tr.lockout td:first-child{color:#b00020;font-weight:bold}"
           "tr.linkloss td:first-child{color:#c06c00;font-weight:bold}\n";
}

}  // namespace kalvo::record
