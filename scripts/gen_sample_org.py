#!/usr/bin/env python3
"""Generates data/sample_org.json, the sample organisation of the demo client.

The output is deterministic (fixed seed) and committed; rerun this script after
changing it and commit both:

    scripts/gen_sample_org.py            # writes data/sample_org.json
    scripts/gen_sample_org.py --check    # fails when the committed file is stale

Every value is tagged with its property-bag type here (U32, U64, Str, ...), so
the file carries the types the demo client needs when it loads the sample into
property bags. data/README.md describes the fields.
"""

import argparse
import json
import pathlib
import random
import sys

SEED = 20261205
MEMBER_COUNT = 200
FIRST_UIN = 10001
SELF_UIN = 10008
CORP_UIN = 3000018848          # above 2^31: catches signed 32-bit mistakes
FIRST_OUTER_UIN = 2800000001   # outer contacts, also above 2^31
LM_MEMBER_HIGH = 2             # LM account of a member: (2 << 32) | uin
LM_OUTER_HIGH = 3              # LM account of an outer contact: (3 << 32) | n


# Property-bag types of the values in the generated file.
class U32(int):
    pass


class U64(int):
    pass


class Bool(int):
    pass


# Surnames with their pinyin (the surname reading for polyphonic ones) and a
# relative weight, roughly by frequency. The polyphonic surnames get enough
# weight to appear several times.
SURNAMES = [
    ("王", "Wang", 30), ("李", "Li", 30), ("张", "Zhang", 28), ("刘", "Liu", 22),
    ("陈", "Chen", 20), ("杨", "Yang", 14), ("黄", "Huang", 12), ("赵", "Zhao", 11),
    ("吴", "Wu", 10), ("周", "Zhou", 10), ("徐", "Xu", 8), ("孙", "Sun", 8),
    ("马", "Ma", 7), ("朱", "Zhu", 7), ("胡", "Hu", 7), ("郭", "Guo", 6),
    ("何", "He", 6), ("高", "Gao", 6), ("林", "Lin", 6), ("罗", "Luo", 5),
    ("郑", "Zheng", 5), ("梁", "Liang", 5), ("谢", "Xie", 4), ("宋", "Song", 4),
    ("唐", "Tang", 4), ("许", "Xu", 4), ("韩", "Han", 4), ("冯", "Feng", 4),
    ("邓", "Deng", 4), ("曹", "Cao", 3), ("彭", "Peng", 3), ("肖", "Xiao", 3),
    ("田", "Tian", 3), ("董", "Dong", 3), ("袁", "Yuan", 3), ("潘", "Pan", 3),
    ("蒋", "Jiang", 3), ("蔡", "Cai", 3), ("余", "Yu", 3), ("杜", "Du", 3),
    ("叶", "Ye", 3), ("程", "Cheng", 3), ("苏", "Su", 3), ("魏", "Wei", 3),
    ("吕", "Lv", 3), ("丁", "Ding", 2), ("任", "Ren", 2), ("沈", "Shen", 2),
    ("姚", "Yao", 2), ("卢", "Lu", 2), ("姜", "Jiang", 2), ("崔", "Cui", 2),
    ("钟", "Zhong", 2), ("谭", "Tan", 2), ("陆", "Lu", 2), ("汪", "Wang", 2),
    ("范", "Fan", 2), ("金", "Jin", 2), ("石", "Shi", 2), ("廖", "Liao", 2),
    ("贾", "Jia", 2), ("夏", "Xia", 2), ("韦", "Wei", 2), ("方", "Fang", 2),
    ("白", "Bai", 2), ("邹", "Zou", 2), ("孟", "Meng", 2), ("熊", "Xiong", 2),
    ("秦", "Qin", 2), ("邱", "Qiu", 2), ("江", "Jiang", 2), ("尹", "Yin", 2),
    ("薛", "Xue", 2), ("段", "Duan", 2), ("雷", "Lei", 2), ("侯", "Hou", 2),
    ("龙", "Long", 2), ("史", "Shi", 2), ("陶", "Tao", 2), ("黎", "Li", 2),
    ("贺", "He", 2), ("顾", "Gu", 2), ("毛", "Mao", 2), ("郝", "Hao", 2),
    ("龚", "Gong", 2), ("邵", "Shao", 2), ("钱", "Qian", 2), ("严", "Yan", 2),
    ("戴", "Dai", 2), ("莫", "Mo", 2), ("孔", "Kong", 2), ("汤", "Tang", 2),
    ("欧阳", "Ouyang", 1), ("上官", "Shangguan", 1), ("司马", "Sima", 1),
    # Polyphonic surnames: the surname reading differs from the common one.
    ("曾", "Zeng", 5), ("单", "Shan", 4), ("解", "Xie", 4), ("区", "Ou", 4),
    ("仇", "Qiu", 4), ("查", "Zha", 4), ("朴", "Piao", 4), ("覃", "Qin", 4),
    ("盖", "Ge", 4), ("缪", "Miao", 4),
]
POLYPHONIC = ["曾", "单", "解", "区", "仇", "查", "朴", "覃", "盖", "缪"]

# Characters of given names, male-leaning and female-leaning pools, with a few
# polyphonic ones (乐, 长, 行, 重) that a search must also cope with.
GIVEN_M = list("伟强磊军勇杰涛斌超明刚平辉鹏华飞鑫波宇浩凯健俊帆帅旭宁龙林"
               "洋峰建国文博志海亮松晨阳乐长行重")
GIVEN_F = list("芳娜敏静丽艳娟霞秀燕玲桂丹萍红英华慧巧美倩婷雪琳晶颖璐莉"
               "佳欣怡雨悦梦琪瑶")
ENGLISH_M = ["David", "Kevin", "Michael", "Jason", "Eric", "Tony", "Peter",
             "Frank", "Leo", "Sam", "Jack", "Henry", "Vincent", "Allen",
             "Steven", "Bruce", "Ryan", "Alex", "Simon", "Tom"]
ENGLISH_F = ["Lily", "Grace", "Amy", "Cindy", "Helen", "Vivian", "Jenny",
             "Sophia", "Emma", "Iris", "Coco", "Angela", "Wendy", "Nancy",
             "Linda", "Cathy", "Joyce", "Irene", "Ella", "Mia"]
MOBILE_PREFIXES = ["130", "131", "132", "133", "135", "136", "137", "138",
                   "139", "150", "151", "152", "155", "158", "159", "176",
                   "177", "180", "181", "185", "186", "187", "188", "189"]

# The department tree: (id, name, parent id, share of the members).
DEPARTMENTS = [
    (1, "鹪鹩网络科技有限公司", 0, 0),
    (2, "总经办", 1, 4),
    (3, "研发中心", 1, 0),
    (4, "客户端开发部", 3, 26),
    (5, "服务端开发部", 3, 26),
    (6, "测试部", 3, 14),
    (7, "运维部", 3, 8),
    (8, "产品部", 1, 16),
    (9, "设计部", 8, 8),
    (10, "市场部", 1, 10),
    (11, "销售部", 1, 0),
    (12, "华北销售区", 11, 14),
    (13, "华南销售区", 11, 14),
    (14, "华东销售区", 11, 14),
    (15, "客户服务部", 1, 20),
    (16, "人力资源部", 1, 8),
    (17, "财务部", 1, 8),
    (18, "行政部", 1, 6),
    (19, "法务部", 1, 4),
]
POSITIONS = {
    2: ["总经理", "副总经理", "总经理助理"],
    4: ["客户端工程师", "高级客户端工程师", "客户端组长"],
    5: ["后台工程师", "高级后台工程师", "架构师"],
    6: ["测试工程师", "高级测试工程师"],
    7: ["运维工程师", "数据库管理员"],
    8: ["产品经理", "高级产品经理", "产品助理"],
    9: ["交互设计师", "视觉设计师"],
    10: ["市场专员", "品牌经理", "活动策划"],
    12: ["销售经理", "销售代表", "大客户经理"],
    13: ["销售经理", "销售代表", "大客户经理"],
    14: ["销售经理", "销售代表", "大客户经理"],
    15: ["客服专员", "客服主管", "技术支持"],
    16: ["招聘专员", "人事经理", "培训专员"],
    17: ["会计", "出纳", "财务经理"],
    18: ["行政专员", "前台"],
    19: ["法务专员", "法务经理"],
}

OUTER_GROUPS = [(1, "合作伙伴"), (2, "客户"), (3, "供应商"), (4, "朋友")]
OUTER_COMPANIES = {
    1: ["启明软件", "蓝海数据", "星河云计算"],
    2: ["华信银行", "东方航空服务", "恒通物流", "南岭医疗"],
    3: ["锐捷办公设备", "易达印务"],
    4: [""],
}
FREQUENT_FOLDERS = [(1, "项目组"), (2, "领导"), (3, "常用同事")]
AUTO_REPLIES = ["您好，我正在开会，稍后回复您。", "外出中，急事请打电话。",
                "午休中，1点半后回复。"]


def pick_surname(rng):
    weights = [w for _, _, w in SURNAMES]
    return rng.choices(SURNAMES, weights=weights, k=1)[0]


def make_name(rng, used_english):
    male = rng.random() < 0.55
    pool = GIVEN_M if male else GIVEN_F
    given = "".join(rng.choice(pool) for _ in range(rng.choice([1, 2, 2, 2])))
    english_pool = ENGLISH_M if male else ENGLISH_F
    return male, given, english_pool


def mobile(rng, used):
    while True:
        number = rng.choice(MOBILE_PREFIXES) + "".join(
            rng.choice("0123456789") for _ in range(8))
        if number not in used:
            used.add(number)
            return number


def phone_list(numbers):
    return [{"str_account": n} for n in numbers]


def lm_list(accounts):
    return [{"uint64_account": U64(a)} for a in accounts]


def build_members(rng):
    """Members in number order; the polyphonic surnames appear at least twice."""
    dept_slots = []
    for dept_id, _, _, share in DEPARTMENTS:
        dept_slots += [dept_id] * share
    assert len(dept_slots) == MEMBER_COUNT
    rng.shuffle(dept_slots)

    forced = [s for s in SURNAMES if s[0] in POLYPHONIC] * 2
    surnames = forced + [pick_surname(rng) for _ in range(MEMBER_COUNT - len(forced))]
    rng.shuffle(surnames)

    used_phones = set()
    used_english = set()
    members = []
    for i in range(MEMBER_COUNT):
        uin = FIRST_UIN + i
        surname, surname_py, _ = surnames[i]
        male, given, english_pool = make_name(rng, used_english)
        english = f"{rng.choice(english_pool)} {surname_py}"
        suffix = 2
        base = english
        while english in used_english:
            english = f"{base}{suffix}"
            suffix += 1
        used_english.add(english)
        dept = dept_slots[i]
        phones = []
        roll = rng.random()
        if roll >= 0.04:
            phones.append(mobile(rng, used_phones))
        if roll >= 0.85:
            phones.append(mobile(rng, used_phones))
        record = {
            "dwUin": U32(uin),
            "strName": surname + given,
            "strEnglishName": english,
            "strMobile": phones[0] if phones else "",
            "rpt_str_mobile_phone": phone_list(phones),
            "dwDeptId": U32(dept),
            "strPosition": rng.choice(POSITIONS.get(dept, ["职员"])),
            "strEmail": english.lower().replace(" ", ".") + "@wren.example.cn",
            "dwGender": U32(1 if male else 2),
        }
        members.append(record)

    # Two people share a name, as in any company of this size.
    twin = members[MEMBER_COUNT - 1]
    twin["strName"] = members[40]["strName"]

    # A few members hold LM accounts: (2 << 32) | uin, so the low 32 bits are
    # the member's own number; two of them hold a second, unrelated account.
    lm_holders = sorted(rng.sample(range(MEMBER_COUNT), 14))
    for n, index in enumerate(lm_holders):
        uin = members[index]["dwUin"]
        accounts = [(LM_MEMBER_HIGH << 32) | uin]
        if n % 7 == 0:
            accounts.append((LM_OUTER_HIGH << 32) | (900000 + n))
        members[index]["rpt_str_lm"] = lm_list(accounts)
        members[index]["rpt_uint64_lm"] = [U64(a) for a in accounts]

    # The user's own record gets two phones, so the demo shows the index.
    own = members[SELF_UIN - FIRST_UIN]
    if len(own["rpt_str_mobile_phone"]) < 2:
        extra = mobile(rng, used_phones)
        numbers = [p["str_account"] for p in own["rpt_str_mobile_phone"]] + [extra]
        own["rpt_str_mobile_phone"] = phone_list(numbers)
        own["strMobile"] = numbers[0]
    return members


def build_outer(rng, used_phones):
    contacts = []
    count = 24
    for i in range(count):
        uin = FIRST_OUTER_UIN + i
        group_id = OUTER_GROUPS[i % len(OUTER_GROUPS)][0]
        surname, surname_py, _ = pick_surname(rng)
        male, given, english_pool = make_name(rng, set())
        kind = 1 if i % 3 != 2 else 2  # 1: account of another organisation; 2: LM
        record = {
            "dwUin": U32(uin),
            "strName": surname + given,
            "strEnglishName": f"{rng.choice(english_pool)} {surname_py}",
            "strCompany": rng.choice(OUTER_COMPANIES[group_id]),
            "dwGroupId": U32(group_id),
            "dwAccountKind": U32(kind),
            "bBuddy": Bool(0 if i in (5, 17) else 1),
            "bInvisible": Bool(1 if i % 8 == 3 else 0),
            "bPrevented": Bool(1 if i % 11 == 4 else 0),
            "rpt_str_mobile_phone": phone_list([mobile(rng, used_phones)]),
        }
        if kind == 2:
            account = (LM_OUTER_HIGH << 32) | (700000 + i)
            record["rpt_str_lm"] = lm_list([account])
            record["rpt_uint64_lm"] = [U64(account)]
        contacts.append(record)
    return contacts


def build_org():
    rng = random.Random(SEED)
    members = build_members(rng)
    used_phones = {p["str_account"] for m in members for p in m["rpt_str_mobile_phone"]}
    outer = build_outer(rng, used_phones)

    member_uins = [m["dwUin"] for m in members if m["dwUin"] != SELF_UIN]
    frequent = []
    for folder_id, name in FREQUENT_FOLDERS:
        uins = sorted(rng.sample(member_uins, 4 + folder_id))
        frequent.append({
            "GroupID": U32(folder_id),
            "GroupName": name,
            "rpt_uint32_uin": [U32(u) for u in uins],
        })
    others = [m["dwUin"] for m in members if m["dwUin"] != SELF_UIN]
    online = sorted(rng.sample(others, 120))

    return {
        "strCorpName": DEPARTMENTS[0][1],
        "dwCorpUin": U32(CORP_UIN),
        "dwSelfUin": U32(SELF_UIN),
        "dwClientVersionMajor": U32(3),
        "dwClientVersionMinor": U32(12),
        "strClientIP": "10.24.8.17",
        "uint64_account_flags": U64(0),
        "bSelfOnline": Bool(1),
        "bSelfAvoidanceAuth": Bool(1),
        "rpt_uint32_privilege": [U32(550)],
        "rpt_uint32_channel_privilege": [U32(1)],
        "rpt_uint32_online": [U32(u) for u in online],
        "rpt_uint32_special_care": [U32(u) for u in sorted(rng.sample(others, 6))],
        "rpt_uint32_shortcut": [U32(u) for u in sorted(rng.sample(others, 5))],
        "rpt_uint32_c2c_avoidance": [U32(u) for u in sorted(rng.sample(others, 3))],
        "rpt_str_auto_reply": list(AUTO_REPLIES),
        "frequent_limits": {
            "MaxNumOfGroup": U32(20),
            "MaxNumOfContact": U32(300),
            "MaxNumOfContactPerGroup": U32(100),
        },
        "rpt_frequent_folder": frequent,
        "rpt_dept": [
            {"dwDeptId": U32(d), "strDeptName": n, "dwParentId": U32(p)}
            for d, n, p, _ in DEPARTMENTS
        ],
        "rpt_member": members,
        "rpt_outer_group": [
            {"GroupID": U32(g), "GroupName": n} for g, n in OUTER_GROUPS
        ],
        "rpt_outer_contact": outer,
        **session_fields(members, online),
    }


# Presence codes of the platform's status manager: 10 online, 30 away,
# 50 busy, 60 do not disturb, 20 offline, 250 invisible, 0 unknown.
ONLINE_STATUSES = (10, 30, 50, 60)
# Members with rights bits in their "Privilege" (0x400000 public client,
# 0xC00000 also session switch; 0x800000 alone grants neither).
PRIVILEGES = ((10002, 0x400000), (10003, 0xC00000), (10004, 0x800000),
              (10008, 0xC00000), (10015, 0x1400000), (10021, 0xFFC00000))
SESSION_PROTOCOL_XML = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    '<CommonServerConfig>\n'
    '  <SessionProtocol ProtoType="0" Name="CC"/>\n'
    '  <SessionProtocol ProtoType="1" Name="IM"/>\n'
    '</CommonServerConfig>\n')


def session_fields(members, online):
    """Statuses, privileges and configuration of the session helpers; drawn
    from no random numbers, so the rest of the sample does not move."""
    online = set(online) | {SELF_UIN}
    statuses = []
    for m in members:
        uin = int(m["dwUin"])
        if uin in online:
            status = ONLINE_STATUSES[uin % len(ONLINE_STATUSES)]
        elif uin % 17 == 0:
            status = 250
        elif uin % 23 == 0:
            status = 0
        else:
            status = 20
        statuses.append({"dwUin": U32(uin), "dwStatus": U32(status)})
    return {
        "rpt_contact_status": statuses,
        "rpt_contact_privilege": [
            {"dwUin": U32(u), "Privilege": U64(p)} for u, p in PRIVILEGES
        ],
        "rpt_server_config": [
            {"dwType": U32(18), "dwSubType": U32(2), "strContent": SESSION_PROTOCOL_XML},
        ],
        "rpt_main_account_config": [{"dwId": U32(6), "dwValue": U32(1)}],
    }


# ---- Output -----------------------------------------------------------------
# The file is JSON in the typed form of the platform's JSON<->bag conversion
# (platform/common/kzjson.h): strings, true/false and integers up to 2^32 - 1
# read as text, bool and u32; any other type is written as {"@type": value}.
# One record per line inside the long arrays, so that grep finds a member.

def typed(value):
    """The JSON value of a tagged value."""
    if isinstance(value, dict):
        return {k: typed(v) for k, v in value.items()}
    if isinstance(value, list):
        return [typed(v) for v in value]
    return encode_scalar(value)


def encode_scalar(value):
    if isinstance(value, Bool):
        return bool(value)
    if isinstance(value, U64):
        return {"@u64": int(value)}
    if isinstance(value, U32):
        if not 0 <= value <= 0xFFFFFFFF:
            raise ValueError(f"u32 out of range: {value}")
        return int(value)
    return value


def dump(value):
    return json.dumps(typed(value), ensure_ascii=False, separators=(", ", ": "))


def render(org):
    lines = ["{"]
    keys = list(org)
    for n, key in enumerate(keys):
        comma = "," if n + 1 < len(keys) else ""
        value = org[key]
        if isinstance(value, list) and value and isinstance(value[0], dict):
            lines.append(f'  "{key}": [')
            for m, record in enumerate(value):
                inner = "," if m + 1 < len(value) else ""
                lines.append(f"    {dump(record)}{inner}")
            lines.append(f"  ]{comma}")
        else:
            lines.append(f'  "{key}": {dump(value)}{comma}')
    lines.append("}")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = pathlib.Path(__file__).resolve().parent.parent
    parser.add_argument("--out", default=str(root / "data" / "sample_org.json"))
    parser.add_argument("--check", action="store_true",
                        help="compare with the file instead of writing it")
    args = parser.parse_args()
    text = render(build_org())
    out = pathlib.Path(args.out)
    if args.check:
        if not out.exists() or out.read_text(encoding="utf-8") != text:
            print(f"{out} is stale: rerun {sys.argv[0]}", file=sys.stderr)
            return 1
        return 0
    out.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
