// The tool's help and version texts.
#include "cli/help_text.h"

namespace trelvane {

std::u16string_view HelpText()
{
    return u"用法：trelvane-cli [选项]... -o 输出文件 输入文件...\n"
           u"整理电子邮件地址列表：按规则过滤，去除重复行，按 UTF-16 码元升序或降序排序，\n"
           u"写入一个输出文件或若干分卷。\n"
           u"\n"
           u"选项：\n"
           u"  -o, --output 路径           输出文件（必需）；分卷依次为 路径、路径.part1.txt、\n"
           u"                              路径.part2.txt……\n"
           u"      --descending            降序排序（默认升序）\n"
           u"      --delete-suffixes 文本  删除后缀在列表中的行；后缀以“|”分隔，A-Z 不分大小写\n"
           u"      --keep-suffixes 文本    只输出后缀在列表中的行；不能与 --delete-suffixes 同用\n"
           u"      --exclude 文件          删除在排除文件中出现的行\n"
           u"      --exclude-hashed 文件   删除邮址摘要在散列排除文件中的行；每行一个十六进制\n"
           u"                              MD5、SHA-1 或 SHA-256 摘要（邮址小写、UTF-8 编码）\n"
           u"      --report 文件           把每一条未输出的行及原因写入报告文件\n"
           u"      --case-variants         另外提示仅大小写不同的地址（须同时给出 --report）\n"
           u"      --test-addresses 文本   插入测试邮址，以“,”分隔；须同时给出 --test-interval\n"
           u"      --test-interval N       每输出 N 行插入一次测试邮址（N 至少为 1）\n"
           u"      --split N               分卷输出，每卷至多 N 行（N 至少为 "
           u"1）；不给出时输出到一个文件\n"
           u"      --memory-limit 大小     内存上限，如 512M（单位 K、M、G、T 为 1024 的幂）；\n"
           u"                              超出时分批排序，写入 TMPDIR 中的临时文件再合并；\n"
           u"                              默认为物理内存的一半，至多 1G\n"
           u"  -q, --quiet                 不显示进度\n"
           u"  -h, --help                  显示本帮助并退出\n"
           u"      --version               显示版本并退出\n"
           u"\n"
           u"输入文件和排除文件是系统代码页的文本，每行一个邮址，行尾为 LF 或 CR LF；\n"
           u"输出文件使用同一代码页，行尾为 CR LF。后缀是邮址中第一个“@”之后的部分。\n"
           u"文件名“-”表示标准输入；管道和 FIFO 只读取一次。\n"
           u"进度仅在标准错误输出为终端时显示。标准输出的最后一行为\n"
           u"“输出完成！过滤数量：N条 处理后数量：N条”。之后在标准错误输出上提示输入中\n"
           u"可疑之处（字节顺序标记、混用行尾、首尾空白、“@”数目、无效字节；有\n"
           u"--case-variants 时还有仅大小写不同的地址），提示不改变输出。\n"
           u"\n"
           u"退出状态：\n"
           u"  0    作业完成，没有报告失败\n"
           u"  1    作业中报告了失败（例如输入文件无法读取、输出文件无法打开或写入），\n"
           u"       或标准输出无法写入\n"
           u"  2    用法错误，作业没有开始\n"
           u"  130  被 Ctrl-C（SIGINT）中断；143 为 SIGTERM，129 为 SIGHUP（128 + 信号编号）。\n"
           u"       作业已停止，未写完的输出文件被删除，原有的输出文件保持不变\n";
}

std::u16string_view VersionText()
{
    return u"trelvane-cli " TRELVANE_VERSION "\n";
}

} // namespace trelvane
