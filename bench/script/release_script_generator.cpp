#include "release_script_generator.h"

#include <vector>

namespace xqv::bench {

namespace {

// The reference tables of the sample schema whose before-insert triggers the data part
// switches off, and the others it fills.
const std::vector<std::string> kTriggerTables = {
    "UNITS", "COUNTRIES",   "REGIONS",      "CITIES",  "CURRENCIES", "BANKS",     "GOODS_GROUPS",
    "GOODS", "PRICE_TYPES", "CLIENT_TYPES", "CLIENTS", "STORES",     "EMPLOYEES", "PAYMENT_TYPES"};
const std::vector<std::string> kPlainTables = {"DOC_TYPES",      "TAX_RATES", "DISCOUNTS",
                                               "CURRENCY_RATES", "PRICES",    "SETTINGS"};
const std::vector<std::string> kWords = {"Молоко", "Сахар",   "Хлеб",  "Масло",  "Крупа",
                                         "Мыло",   "Порошок", "Шланг", "Ведро",  "Гвозди",
                                         "Краска", "Кисть",   "Лампа", "Провод", "Розетка"};

class Writer {
public:
    void Line(const std::string& text = "") { out_ += text + "\r\n"; }
    // One statement: counts it.
    void Statement(const std::string& text) {
        Line(text);
        ++statements_;
    }
    std::string Take() { return std::move(out_); }
    int Statements() const { return statements_; }

private:
    std::string out_;
    int statements_ = 0;
};

std::string Num(long n) {
    return std::to_string(n);
}

std::string Name(int n) {
    return kWords[n % kWords.size()] + " " + kWords[(n / 7) % kWords.size()] + " №" + Num(n);
}

void Commit(Writer& w, int n) {
    static const char* const forms[] = {"commit;", "Commit;", "commit work;"};
    w.Statement(forms[n % 3]);
}

// A procedure body of some hundred lines: what keeps the server busy compiling it.
void ProcedureBody(Writer& w, int variant, int lines) {
    w.Line("AS");
    w.Line("DECLARE VARIABLE V NUMERIC(15,2);");
    w.Line("DECLARE VARIABLE C INTEGER;");
    w.Line("BEGIN");
    w.Line("  RESULT = 0; /* начальное значение; ноль */");
    for (int i = 0; i < lines; i += 4) {
        w.Line("  SELECT COALESCE(SUM(PRICE), 0) FROM PRICES");
        w.Line("  WHERE GOODS_ID = :P_ID + " + Num(i + variant) + " AND PRICE_TYPE_ID = 1");
        w.Line("  INTO :V;");
        w.Line("  IF (V > 0) THEN RESULT = RESULT + V; -- строка " + Num(i));
    }
    w.Line("  SUSPEND;");
    w.Line("END^");
}

void Header(Writer& w) {
    w.Line("/******************************************************************************/");
    w.Line("/****     Обновление демонстрационной базы данных OrveLin до версии 7       ****/");
    w.Line("/******************************************************************************/");
    w.Line("/* Server version: WI-V2.0.7.13318 Firebird 2.0; SQL Dialect: 3; ODS: 11.0    */");
    w.Line("/* Forced writes: ON; Sweep interval: 20000; Page size: 8192; Cache: 2048     */");
    w.Line("/* CONNECT 'localhost/3051:C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb'               */");
    w.Line("/*   USER 'SYSDBA' PASSWORD '********';                                       */");
    w.Line("/******************************************************************************/");
    w.Line();
}

void Directives(Writer& w) {
    w.Statement("SET NAMES WIN1251;");
    w.Statement("SET SQL DIALECT 3;");
    w.Statement("SET AUTODDL ON;");
    w.Line();
}

void Marker(Writer& w) {
    w.Line("/*@@@*/");
}

void SchemaPart(Writer& w, int& commits) {
    Marker(w);
    w.Statement("CREATE TABLE WAREHOUSE_CELLS (ID D_ID, STORE_ID D_REF, CODE D_CODE, "
                "NAME D_NAME NOT NULL, IS_ACTIVE D_BOOL, "
                "CONSTRAINT PK_WAREHOUSE_CELLS PRIMARY KEY (ID));");
    w.Statement("CREATE TABLE GOODS_BARCODES (ID D_ID, GOODS_ID D_REF, BARCODE VARCHAR(20) NOT "
                "NULL, CONSTRAINT PK_GOODS_BARCODES PRIMARY KEY (ID));");
    for (int i = 0; i < 7; ++i)
        w.Statement("COMMENT ON TABLE " + kTriggerTables[i] + " IS 'Справочник; версия 7, часть " +
                    Num(i) + "';");
    Marker(w);
    for (int i = 0; i < 53; ++i)
        w.Statement("ALTER TABLE " + kTriggerTables[i % kTriggerTables.size()] + " ADD X7_" +
                    Num(i) + " VARCHAR(20);");
    Commit(w, commits++);

    // New procedures.
    Marker(w);
    w.Statement("SET TERM ^ ;");
    for (int p = 0; p < 6; ++p) {
        w.Line("/* Новая процедура " + Num(p) + "; считает сумму цен */");
        w.Line("CREATE PROCEDURE R7_PROC_" + Num(p) + " (P_ID INTEGER)");
        w.Line("RETURNS (RESULT NUMERIC(15,2))");
        ProcedureBody(w, p, 60);
        w.Line();
    }
    w.Line("CREATE OR ALTER PROCEDURE CLIENT_BALANCE (CLIENT_ID INTEGER)");
    w.Line("RETURNS (BALANCE NUMERIC(15,2))");
    w.Line("AS");
    w.Line("BEGIN");
    w.Line("  SELECT COALESCE(SUM(TOTAL), 0) FROM DOCUMENTS WHERE CLIENT_ID = :CLIENT_ID");
    w.Line("  INTO :BALANCE;");
    w.Line("  SUSPEND;");
    w.Line("END^");
    w.Statement("SET TERM ; ^");
    w.Line();
    w.Statement("reconnect;");

    // The long stretch: procedures and triggers changed.
    Marker(w);
    w.Statement("SET TERM ^ ;");
    for (int p = 0; p < 82; ++p) {
        w.Line("/* Изменение процедуры; проход " + Num(p) + " */");
        w.Line("ALTER PROCEDURE R7_PROC_" + Num(p % 6) + " (P_ID INTEGER)");
        w.Line("RETURNS (RESULT NUMERIC(15,2))");
        ProcedureBody(w, p, 100);
        w.Line();
    }
    for (size_t t = 0; t < kTriggerTables.size(); ++t) {
        const std::string& table = kTriggerTables[t];
        w.Line("ALTER TRIGGER " + table + "_BI ACTIVE BEFORE INSERT POSITION 0 AS");
        w.Line("BEGIN");
        w.Line("  /* ключ из генератора; ';' в комментарии */");
        w.Line("  IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_" + table + ", 1);");
        for (int i = 0; i < 30; ++i)
            w.Line("  IF (NEW.NAME = '" + Name(i) + "') THEN NEW.NOTE = 'проверено; " + Num(i) +
                   "';");
        w.Line("END^");
        w.Line();
    }
    w.Statement("SET TERM ; ^");
    // Five more stretches, small ones.
    for (int s = 0; s < 5; ++s) {
        w.Statement("SET TERM ^ ;");
        w.Line("ALTER PROCEDURE R7_PROC_" + Num(s) + " (P_ID INTEGER)");
        w.Line("RETURNS (RESULT NUMERIC(15,2))");
        ProcedureBody(w, s, 8);
        w.Statement("SET TERM ; ^");
        Commit(w, commits++);
    }
    Marker(w);
    for (int g = 0; g < 86; ++g) {
        if (g % 3 == 0)
            w.Statement("GRANT EXECUTE ON PROCEDURE R7_PROC_" + Num(g % 6) + " TO R_OPERATOR;");
        else if (g % 3 == 1)
            w.Statement("GRANT SELECT ON " + kTriggerTables[g % kTriggerTables.size()] +
                        " TO R_OPERATOR;");
        else
            w.Statement("GRANT ALL ON " + kPlainTables[g % kPlainTables.size()] + " TO R_MANAGER;");
    }
    w.Statement("REVOKE ALL ON SETTINGS FROM R_OPERATOR;");
    w.Statement("REVOKE EXECUTE ON PROCEDURE R7_PROC_0 FROM R_OPERATOR;");
    Commit(w, commits++);
}

std::string Row(const std::string& table, int id) {
    const std::string name = "'" + Name(id) + "'";
    const std::string code = "'" + Num(id) + "'";
    const std::string note = "'Запись " + Num(id) + "; обновление до версии 7'";
    if (table == "GOODS")
        return "INSERT INTO GOODS (ID, GROUP_ID, UNIT_ID, CODE, NAME, NOTE, IS_ACTIVE) VALUES (" +
               Num(id) + ", " + Num(1 + id % 2) + ", " + Num(1 + id % 4) + ", " + code + ", " +
               name + ", " + note + ", 1);";
    if (table == "PRICES")
        return "INSERT INTO PRICES (ID, GOODS_ID, PRICE_TYPE_ID, PRICE, NOTE) VALUES (" + Num(id) +
               ", " + Num(id) + ", " + Num(1 + id % 2) + ", " + Num(10 + id % 990) + ".50, " +
               note + ");";
    if (table == "CURRENCY_RATES")
        return "INSERT INTO CURRENCY_RATES (ID, CURRENCY_ID, RATE_DATE, RATE, NOTE) VALUES (" +
               Num(id) + ", 2, '2025-01-01', " + Num(80 + id % 20) + ".1234, " + note + ");";
    if (table == "REGIONS")
        return "INSERT INTO REGIONS (ID, COUNTRY_ID, CODE, NAME, NOTE) VALUES (" + Num(id) +
               ", 1, " + code + ", " + name + ", " + note + ");";
    if (table == "CITIES")
        return "INSERT INTO CITIES (ID, REGION_ID, CODE, NAME, NOTE) VALUES (" + Num(id) + ", 1, " +
               code + ", " + name + ", " + note + ");";
    if (table == "SETTINGS")
        return "INSERT INTO SETTINGS (ID, CODE, NAME, SETTING_VALUE, NOTE) VALUES (" + Num(id) +
               ", " + code + ", " + name + ", 'значение " + Num(id) + "', " + note + ");";
    return "INSERT INTO " + table + " (ID, CODE, NAME, NOTE) VALUES (" + Num(id) + ", " + code +
           ", " + name + ", " + note + ");";
}

void DataPart(Writer& w, int& commits) {
    Marker(w);
    Directives(w);
    for (const std::string& table : kTriggerTables)
        w.Statement("ALTER TRIGGER " + table + "_BI INACTIVE;");

    // Reference rows replaced one by one: every table gets its share of the 5,940 rows, two
    // in three of them deleted first.
    std::vector<std::string> tables = kTriggerTables;
    tables.insert(tables.end(), kPlainTables.begin(), kPlainTables.end());
    int inserts = 0, deletes = 0, updates = 0;
    for (int i = 0; inserts < 5940; ++i) {
        const std::string& table = tables[i % tables.size()];
        const int id = 1000 + i;
        if (i % 6 == 0) {
            Marker(w);
            w.Line("/* " + table + ": строки " + Num(id) + "..; старые удаляются */");
        }
        if (deletes < 2768 && i % 15 < 7) {
            w.Statement("DELETE FROM " + table + " WHERE ID = " + Num(id) + ";");
            ++deletes;
        }
        w.Statement(Row(table, id));
        ++inserts;
        if (updates < 302 && i % 20 == 0) {
            w.Statement("UPDATE " + table +
                        " SET NOTE = 'Изменено; версия 7' WHERE ID = " + Num(id) + ";");
            ++updates;
        }
        if (i % 700 == 699) Commit(w, commits++);
    }
    for (int g = 0; g < 8; ++g)
        w.Statement("SET GENERATOR GEN_" + kTriggerTables[g] + " TO 20000;");

    w.Line("/* Штрихкоды для всех товаров; блок выполняется целиком */");
    w.Line("execute block");
    w.Line("as");
    w.Line("  declare variable goods_id integer;");
    w.Line("  declare variable n integer = 0;");
    w.Line("begin");
    w.Line("  for select id from goods order by id into :goods_id do");
    w.Line("  begin");
    w.Line("    n = n + 1;");
    w.Line("    insert into goods_barcodes (id, goods_id, barcode)");
    w.Line("    values (:n, :goods_id, '460' || lpad(:goods_id, 10, '0'));");
    w.Line("  end");
    w.Statement("end;");
    // isql changes metadata in a transaction of its own, which waits for this one.
    Commit(w, commits++);

    for (const std::string& table : kTriggerTables)
        w.Statement("ALTER TRIGGER " + table + "_BI ACTIVE;");
    w.Statement("ALTER TABLE GOODS_BARCODES ADD CONSTRAINT FK_GOODS_BARCODES_GOODS FOREIGN KEY "
                "(GOODS_ID) REFERENCES GOODS (ID);");
    w.Statement("DELETE FROM PAYMENT_TYPES WHERE ID < 1000;");
    w.Statement("INSERT INTO PAYMENT_TYPES (ID, CODE, NAME) VALUES (1, 'CASH', 'Наличные');");
    w.Statement("DELETE FROM TAX_RATES WHERE ID < 1000;");
    w.Statement("INSERT INTO TAX_RATES (ID, CODE, NAME, RATE) VALUES (1, 'VAT20', 'НДС 20%', 20);");
    Commit(w, commits++);

    const std::vector<std::string> indexes = {
        "PK_GOODS",   "IX_GOODS_NAME",          "PK_CLIENTS", "IX_CLIENTS_NAME",
        "PK_PRICES",  "IX_PRICES_GOODS",        "PK_UNITS",   "PK_CITIES",
        "PK_REGIONS", "FK_GOODS_BARCODES_GOODS"};
    for (int i = 0; i < 297; ++i)
        w.Statement("SET STATISTICS INDEX " + indexes[i % indexes.size()] + ";");
    w.Statement("UPDATE VERSIO SET VERSIO_NO = 7, APPLIED_AT = CURRENT_TIMESTAMP;");
    while (commits < 17)
        Commit(w, commits++);
}

} // namespace

std::string GenerateReleaseScript() {
    Writer w;
    int commits = 0;
    Header(w);
    Directives(w);
    w.Line("/* Проверка версии: обновление до версии 7 применяется только к версии 6 */");
    w.Statement("execute procedure Check_Versio(7);");
    Commit(w, commits++);
    w.Statement("reconnect;");
    w.Line();
    SchemaPart(w, commits);
    DataPart(w, commits);
    return w.Take();
}

std::string ForIsql(const std::string& script) {
    std::string out = script;
    const std::string reconnect = "reconnect;\r\n";
    for (size_t pos; (pos = out.find(reconnect)) != std::string::npos;)
        out.erase(pos, reconnect.size());
    const size_t block = out.find("execute block\r\n");
    const size_t end = out.find("\r\nend;\r\n", block);
    if (block != std::string::npos && end != std::string::npos) {
        out.replace(end, 8, "\r\nend^\r\nSET TERM ; ^\r\n");
        out.insert(block, "SET TERM ^ ;\r\n");
    }
    return out;
}

} // namespace xqv::bench
