<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>lekto::MainWindow</name>
    <message>
        <source>标题</source>
        <translation>Lekto</translation>
    </message>
    <message>
        <source>书籍文件已不存在：</source>
        <translation>The book file no longer exists: </translation>
    </message>
    <message>
        <source>书籍下载后已被改动，无法更新，请重新下载：</source>
        <translation>The book was changed after its download and cannot be updated; download it again: </translation>
    </message>
    <message>
        <source>找不到书籍的下载记录，无法更新：</source>
        <translation>The book has no download record and cannot be updated: </translation>
    </message>
    <message>
        <source>更新中，目录页获取中。。。</source>
        <translation> updating, fetching the table of contents...</translation>
    </message>
    <message>
        <source>更新中，已获取 %1 页。。。</source>
        <translation> updating, %1 pages fetched...</translation>
    </message>
    <message>
        <source>目录获取失败，书籍未改动！</source>
        <translation>: the table of contents could not be read; the book is unchanged.</translation>
    </message>
    <message>
        <source>没有新章节！</source>
        <translation>: no new chapters.</translation>
    </message>
    <message>
        <source>提示：</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>另一个下载正在使用下载文件夹，请等它结束后再试！</source>
        <translation>Another download is using the download folder. Try again when it has finished.</translation>
    </message>
    <message>
        <source>写入章节文件失败，更新已停止，书籍未改动！</source>
        <translation>: a chapter file could not be written; the update stopped and the book is unchanged.</translation>
    </message>
    <message>
        <source>新章节下载失败，书籍未改动！</source>
        <translation>: the new chapters could not be downloaded; the book is unchanged.</translation>
    </message>
    <message>
        <source>写入书籍文件失败，书籍未改动！</source>
        <translation>: the book file could not be written; the book is unchanged.</translation>
    </message>
    <message>
        <source>更新完成，新增 %1 章</source>
        <translation> updated: %1 chapters added</translation>
    </message>
    <message>
        <source>，目录里已没有的 %1 章仍留在书中</source>
        <translation>, %1 chapters no longer listed stay in the book</translation>
    </message>
    <message>
        <source>，%1 章下载失败，再次更新可重试</source>
        <translation>, %1 chapters failed (update again to retry them)</translation>
    </message>
    <message>
        <source>；下载记录写入失败，下次无法更新</source>
        <translation>; the download record could not be written, so the book cannot be updated next time</translation>
    </message>
    <message>
        <source>！</source>
        <translation>.</translation>
    </message>
    <message>
        <source>列表里没有章节，请先输入目录页地址并点“目录解析”！</source>
        <translation>The list has no chapters. Enter a table-of-contents address and click “Parse” first.</translation>
    </message>
    <message>
        <source>请先勾选要下载的章节！</source>
        <translation>Tick the chapters to download first.</translation>
    </message>
    <message>
        <source>下载中</source>
        <translation>Busy</translation>
    </message>
    <message>
        <source>它在下载后被改动过</source>
        <translation>it was changed after its download</translation>
    </message>
    <message>
        <source>它没有下载记录</source>
        <translation>it has no download record</translation>
    </message>
    <message>
        <source>它来自另一个目录页</source>
        <translation>it comes from another table of contents</translation>
    </message>
    <message>
        <source>它是另一种格式</source>
        <translation>it is in another format</translation>
    </message>
    <message>
        <source>它含有这次不下载的章节</source>
        <translation>it holds chapters this download leaves out</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>“%1”已存在，不是这次下载写的（%2）。下载完成后会替换它，要继续吗？</source>
        <translation>“%1” already exists and was not written by this download (%2). The download will replace it when it ends. Go on?</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>停止中</source>
        <translation>Ending</translation>
    </message>
    <message>
        <source>线程：</source>
        <translation>Threads: </translation>
    </message>
    <message>
        <source>，正在停止，等待 %1 个请求结束。。。</source>
        <translation>, stopping: waiting for %1 requests to end...</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Fetch</translation>
    </message>
    <message>
        <source>写入章节文件失败，下载已停止！</source>
        <translation>: a chapter file could not be written; the download stopped.</translation>
    </message>
    <message>
        <source>已停止下载，已完成 %1/%2 章，再点“下载”继续，已下载的章节会保留。</source>
        <translation>: download stopped with %1 of %2 chapters done. Click “Fetch” to go on; the chapters already downloaded are kept.</translation>
    </message>
    <message>
        <source>（保留了上次下载的 %1 章，下载了其余 %2 章）</source>
        <translation> (kept %1 chapters from the last download, downloaded the other %2)</translation>
    </message>
    <message>
        <source>下载完毕，%1 章下载失败（共 %2 章），再点“下载”可重试失败的章节！</source>
        <translation> downloaded; %1 of %2 chapters failed. Click “Fetch” again to retry them.</translation>
    </message>
    <message>
        <source>下载完毕，合并完成！</source>
        <translation> downloaded and merged.</translation>
    </message>
    <message>
        <source>没有下载到任何章节，未合并！</source>
        <translation>: no chapter was downloaded; nothing was merged.</translation>
    </message>
    <message>
        <source>合并失败，无法写入书籍文件！</source>
        <translation>: the merge failed, the book file could not be written.</translation>
    </message>
    <message>
        <source>已保存到：</source>
        <translation>Saved to: </translation>
    </message>
    <message>
        <source>下载文件夹里没有章节，无法合并，请先下载！</source>
        <translation>The download folder holds no chapters, so there is nothing to merge. Download first.</translation>
    </message>
    <message>
        <source>请输入书名</source>
        <translation>Book title:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>合并完成！</source>
        <translation> merged.</translation>
    </message>
    <message>
        <source>GBK 文本（默认）</source>
        <translation>GBK text (default)</translation>
    </message>
    <message>
        <source>UTF-8 文本</source>
        <translation>UTF-8 text</translation>
    </message>
    <message>
        <source>EPUB 电子书</source>
        <translation>EPUB e-book</translation>
    </message>
    <message>
        <source>书籍格式</source>
        <translation>Book format</translation>
    </message>
    <message>
        <source>更新上次下载的书</source>
        <translation>Update the last book downloaded</translation>
    </message>
    <message>
        <source>更新上次下载的书：</source>
        <translation>Update the last book downloaded: </translation>
    </message>
    <message>
        <source>约剩 %1 秒</source>
        <translation>about %1 s left</translation>
    </message>
    <message>
        <source>约剩 %1 分钟</source>
        <translation>about %1 min left</translation>
    </message>
    <message>
        <source>约剩 %1 小时 %2 分钟</source>
        <translation>about %1 h %2 min left</translation>
    </message>
    <message>
        <source>已完成 %1/%2</source>
        <translation>Done %1/%2</translation>
    </message>
    <message>
        <source>（保留 %1 章）</source>
        <translation> (%1 kept)</translation>
    </message>
    <message>
        <source>，失败 %1</source>
        <translation>, failed %1</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>请输入章节目录地址！</source>
        <translation>Please enter the address of the table of contents.</translation>
    </message>
    <message>
        <source>解析中</source>
        <translation>Parsing</translation>
    </message>
    <message>
        <source>章节列表</source>
        <translation>Chapters</translation>
    </message>
    <message>
        <source>目录页获取中。。。</source>
        <translation>Fetching the table of contents...</translation>
    </message>
    <message>
        <source>目录第%1页获取中。。。</source>
        <translation>Fetching page %1 of the table of contents...</translation>
    </message>
    <message>
        <source>目录解析</source>
        <translation>Parse</translation>
    </message>
    <message>
        <source>目录获取失败：</source>
        <translation>The table of contents could not be read: </translation>
    </message>
    <message>
        <source>--章节列表不完整，目录第%1页获取失败：</source>
        <translation> -- the list is incomplete, page %1 of the table of contents failed: </translation>
    </message>
    <message>
        <source>--章节列表获取完毕！</source>
        <translation> -- chapter list complete.</translation>
    </message>
    <message>
        <source>待下载</source>
        <translation>To download</translation>
    </message>
    <message>
        <source>章节内容加载中。。。</source>
        <translation>Loading the chapter...</translation>
    </message>
    <message>
        <source>章节内容加载中。。。第%1页</source>
        <translation>Loading the chapter... page %1</translation>
    </message>
    <message>
        <source>--加载失败：</source>
        <translation> -- could not be loaded: </translation>
    </message>
    <message>
        <source>--加载不完整，第%1页获取失败：</source>
        <translation> -- incomplete, page %1 failed: </translation>
    </message>
    <message>
        <source>--加载完毕！</source>
        <translation> -- loaded.</translation>
    </message>
    <message>
        <source>已复制链接：</source>
        <translation>Link copied: </translation>
    </message>
    <message>
        <source>下载尚未完成，确定退出吗？</source>
        <translation>The download has not finished. Quit anyway?</translation>
    </message>
    <message>
        <source>第%1行“%2”</source>
        <translation>line %1 “%2”</translation>
    </message>
    <message>
        <source>无效的正则，不会使用：</source>
        <translation>Not valid expressions, not used: </translation>
    </message>
    <message>
        <source>《%1》</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>使用说明:双击编辑框清空。</source>
        <translation>How to use: double-click a text box to empty it.</translation>
    </message>
    <message>
        <source>请在上面编辑框输入目录页地址（无翻页是全章节的目录页地址，有翻页需输入首目录页地址）然后点击目录解析，解析成功可在左边列表显示解析到的所有章节名。双击任意章节名可在右边的编辑框显示对应章节内容。右键单击章节名可以复制该章节对应链接。可以选择下载或者在右边点上一章和下一章查看阅读。</source>
        <translation>Enter the address of the table-of-contents page in the box above (the page listing every chapter, or the first page of a list spread over several pages) and click “Parse”; the chapters found are listed on the left. Double-click a chapter to read it in the box on the right. Right-click a chapter to copy its link. Then fetch the book with “Fetch”, or read on with “Prev” and “Next”.</translation>
    </message>
    <message>
        <source>点击下载前，可以单击列表里ID的检查框来选择下载范围，因为可能需要手动排除一些非章节的内容不下载。列表下面的全选按钮是将所有检查框都选中。反选是将已选中的变成未选中，未选中的变成选中。如果发现章节顺序反了可以点击倒序按钮。</source>
        <translation>Before you download, tick the boxes beside the IDs to choose the chapters: some rows may not be chapters at all. “All” below the list ticks every box, “Invert” flips every tick, and “Rev.” turns the order round when the chapters are listed newest first.</translation>
    </message>
    <message>
        <source>建议下载前，先通过双击章名查看内容是否正常，如果右边编辑框无内容或显示的不是正常章节内容可以勾选预处理，如果显示内容乱码可以勾选转码。</source>
        <translation>Before downloading, double-click a chapter to check its text. If the box on the right stays empty or shows something other than the chapter, tick “Preprocess”; if the text is garbled, tick “Transcode”.</translation>
    </message>
    <message>
        <source>如果右边章节内容出现较多不需要的内容可以启用正则过滤内容，</source>
        <translation>If the chapters carry text you do not want, switch on the regular-expression filters:</translation>
    </message>
    <message>
        <source>需要自写正则表达式，每行写一个，程序会把匹配的内容删掉。</source>
        <translation>write one regular expression per line; whatever it matches is deleted.</translation>
    </message>
    <message>
        <source>正则表达式具体写法请百度查详细教程，下面给几个常用的，特意增加了2个快捷插入按钮。</source>
        <translation>Any regular-expression tutorial explains the details; here are the common pieces, and two buttons insert the most useful ones.</translation>
    </message>
    <message>
        <source>匹配一行内一般用.*?  .表示匹配任意字符（不包括换行符），</source>
        <translation>Within one line use .*?  . matches any character (but a line break),</translation>
    </message>
    <message>
        <source>*表示匹配前一个字符零次或多次，?表示匹配或不匹配，+表示匹配前一个字符一次或多次</source>
        <translation>* repeats the character before it zero or more times, ? makes it optional, + repeats it one or more times</translation>
    </message>
    <message>
        <source>匹配多行用[\S\s]*? []表示里面任意选择一个 </source>
        <translation>Across lines use [\S\s]*? [] matches any one of the characters inside </translation>
    </message>
    <message>
        <source>\S表示任意非空字符</source>
        <translation>\S matches any character that is not white space</translation>
    </message>
    <message>
        <source>\s表示任意空字符，比如空格、制表符和换行符等</source>
        <translation>\s matches any white space: spaces, tabs, line breaks</translation>
    </message>
    <message>
        <source>\d表示数字[0-9]中任意一个数字</source>
        <translation>\d matches any digit [0-9]</translation>
    </message>
    <message>
        <source>-表示范围</source>
        <translation>- marks a range</translation>
    </message>
    <message>
        <source>\w表示[0-9A-Za-z_]</source>
        <translation>\w matches [0-9A-Za-z_]</translation>
    </message>
    <message>
        <source>一般情况只需要改写成</source>
        <translation>Usually all you need is</translation>
    </message>
    <message>
        <source>单行:起始字符串.*?终止字符串</source>
        <translation>One line: start text.*?end text</translation>
    </message>
    <message>
        <source>多行:起始字符串[\S\s]*?终止字符串</source>
        <translation>Several lines: start text[\S\s]*?end text</translation>
    </message>
    <message>
        <source>起始和终止字符串可以有一个不存在，存在尽量选唯一出现的，以免把不该替换的删掉。</source>
        <translation>Either the start or the end text may be left out; choose texts that occur only there, so that nothing else is deleted.</translation>
    </message>
    <message>
        <source>下载合并好的书保存在：</source>
        <translation>Books are saved in: </translation>
    </message>
    <message>
        <source>转码</source>
        <translation>Transcode</translation>
    </message>
    <message>
        <source>预处理</source>
        <translation>Preprocess</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Content</translation>
    </message>
    <message>
        <source>章节名称</source>
        <translation>Chapter</translation>
    </message>
    <message>
        <source>下载状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>正则过滤内容</source>
        <translation>Regex filters</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>On</translation>
    </message>
    <message>
        <source>过滤规则1
过滤规则2
过滤规则3</source>
        <translation>filter rule 1
filter rule 2
filter rule 3</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>All</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>Invert</translation>
    </message>
    <message>
        <source>倒序</source>
        <translation>Rev.</translation>
    </message>
    <message>
        <source>合并</source>
        <translation>Merge</translation>
    </message>
    <message>
        <source>上一章</source>
        <translation>Prev</translation>
    </message>
    <message>
        <source>下一章</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>目录页地址：粘贴小说的章节目录页地址，按回车或点“目录解析”（双击清空）</source>
        <translation>Table-of-contents address: paste the address of the novel’s chapter list and press Enter or click “Parse” (double-click to empty)</translation>
    </message>
    <message>
        <source>读取目录页，列出全部章节</source>
        <translation>Read the table of contents and list every chapter</translation>
    </message>
    <message>
        <source>章节内容显示乱码时勾选</source>
        <translation>Tick when the chapter text is garbled</translation>
    </message>
    <message>
        <source>章节内容为空或不是正文时勾选</source>
        <translation>Tick when the chapter text is empty or not the chapter</translation>
    </message>
    <message>
        <source>双击章节查看内容，右键复制章节链接，勾选要下载的章节</source>
        <translation>Double-click a chapter to read it, right-click to copy its link, tick the chapters to download</translation>
    </message>
    <message>
        <source>章节内容（双击清空）</source>
        <translation>The chapter’s text (double-click to empty)</translation>
    </message>
    <message>
        <source>用下面的正则表达式删除正文里不要的内容</source>
        <translation>Delete unwanted text from the chapters with the expressions below</translation>
    </message>
    <message>
        <source>在光标处插入“.*?”：匹配一行内的任意内容</source>
        <translation>Insert “.*?” at the caret: anything within one line</translation>
    </message>
    <message>
        <source>在光标处插入“[\S\s]*?”：匹配跨行的任意内容</source>
        <translation>Insert “[\S\s]*?” at the caret: anything across lines</translation>
    </message>
    <message>
        <source>过滤规则：每行一个正则表达式，匹配的内容会被删掉（双击清空）</source>
        <translation>Filter rules: one regular expression per line; what it matches is deleted (double-click to empty)</translation>
    </message>
    <message>
        <source>勾选全部章节</source>
        <translation>Tick every chapter</translation>
    </message>
    <message>
        <source>勾选的变成不勾选，不勾选的变成勾选</source>
        <translation>Untick the ticked chapters and tick the others</translation>
    </message>
    <message>
        <source>把章节顺序倒过来，每章的勾选不变</source>
        <translation>Reverse the order of the chapters; each keeps its tick</translation>
    </message>
    <message>
        <source>正在下载的线程数</source>
        <translation>Workers downloading now</translation>
    </message>
    <message>
        <source>下载勾选的章节并合并成书；上次下载的章节会保留（取消或 Esc 停止下载）</source>
        <translation>Download the ticked chapters and merge them into a book; chapters already downloaded are kept (Cancel or Esc stops the download)</translation>
    </message>
    <message>
        <source>把已下载的章节合并成书</source>
        <translation>Merge the downloaded chapters into a book</translation>
    </message>
    <message>
        <source>上一章（Ctrl+PageUp）</source>
        <translation>Previous chapter (Ctrl+PageUp)</translation>
    </message>
    <message>
        <source>下一章（Ctrl+PageDown）</source>
        <translation>Next chapter (Ctrl+PageDown)</translation>
    </message>
    <message>
        <source>停止等待或停止下载（Esc）</source>
        <translation>Stop waiting, or stop the download (Esc)</translation>
    </message>
    <message>
        <source>下载进度</source>
        <translation>Download progress</translation>
    </message>
    <message>
        <source>书籍(&amp;B)</source>
        <translation>&amp;Book</translation>
    </message>
    <message>
        <source>选项(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>界面语言（Language）</source>
        <translation>Language (界面语言)</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>As the system</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>How to use</translation>
    </message>
    <message>
        <source>关于 Lekto</source>
        <translation>About Lekto</translation>
    </message>
    <message>
        <source>打开书籍文件夹</source>
        <translation>Open the book folder</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>找不到英文翻译文件，界面仍用中文。</source>
        <translation>The English translation file was not found; the window stays in Chinese.</translation>
    </message>
    <message>
        <source>把网上连载的小说逐章下载，合并成一本书（文本或 EPUB）。

许可证：GPL-3.0-or-later
本程序是自由软件：你可以按自由软件基金会发布的 GNU 通用公共许可证第 3 版或（由你选择）任何更新的版本重新发布和修改它。本程序不提供任何担保。</source>
        <translation>Downloads a novel published chapter by chapter on the web and merges it into one book (text or EPUB).

Licence: GPL-3.0-or-later
This program is free software: you can redistribute it and/or modify it under the terms of the GNU General Public License as published by the Free Software Foundation, either version 3 of the License, or (at your option) any later version. It comes with no warranty.</translation>
    </message>
    <message>
        <source>下载完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>下载失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>重新下载全部勾选的章节</source>
        <translation>Fetch every ticked chapter again</translation>
    </message>
</context>
</TS>
