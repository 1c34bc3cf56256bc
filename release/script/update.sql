/******************************************************************************/
/****         Обновление демонстрационной базы данных OrveLin до версии 7   ****/
/******************************************************************************/
/* Исходная база:                                                             */
/*   Server version: WI-V2.0.7.13318 Firebird 2.0                             */
/*   SQL Dialect: 3                                                           */
/*   ODS version: 11.0                                                        */
/*   Forced writes: ON                                                        */
/*   Sweep interval: 20000                                                    */
/*   Page size: 8192                                                          */
/*   Cache size: 2048 pages                                                   */
/* Подключение задаёт программа обновления; строка ниже оставлена для ручного */
/* запуска; и она закомментирована:                                           */
/* CONNECT 'localhost/3051:C:\XQV\OrveLin\DB_Data\OrveLin.fdb'                */
/*   USER 'SYSDBA' PASSWORD '********';                                       */
/******************************************************************************/

SET NAMES WIN1251;
SET SQL DIALECT 3;
SET AUTODDL ON;

/* Проверка версии: обновление до версии 7 применяется только к версии 6 */
execute procedure Check_Versio(7);
commit;
reconnect;

/*@@@*/
/* Новые таблицы; ячейки склада и штрихкоды товаров */
CREATE TABLE WAREHOUSE_CELLS (
  ID D_ID,
  STORE_ID D_REF,
  CODE D_CODE,
  NAME D_NAME NOT NULL,
  IS_ACTIVE D_BOOL,
  CONSTRAINT PK_WAREHOUSE_CELLS PRIMARY KEY (ID)
);
CREATE TABLE GOODS_BARCODES (
  ID D_ID,
  GOODS_ID D_REF,
  BARCODE VARCHAR(20) NOT NULL,
  CONSTRAINT PK_GOODS_BARCODES PRIMARY KEY (ID)
);
COMMENT ON TABLE WAREHOUSE_CELLS IS 'Ячейки хранения склада';
COMMENT ON TABLE GOODS_BARCODES IS 'Штрихкоды товаров; у товара их может быть несколько';
COMMENT ON TABLE VERSIO IS 'Версия базы данных';

/*@@@*/
/* Изменения таблиц */
ALTER TABLE GOODS ADD WEIGHT NUMERIC(12,3);
ALTER TABLE CLIENTS ADD EMAIL VARCHAR(80);
ALTER TABLE DOCUMENTS ADD PAYMENT_TYPE_ID D_REF;
Commit;

/*@@@*/
/* Новые и изменённые процедуры */
SET TERM ^ ;

CREATE PROCEDURE GOODS_BY_BARCODE (BARCODE VARCHAR(20))
RETURNS (GOODS_ID INTEGER, NAME VARCHAR(100))
AS
BEGIN
  /* штрихкод ищется точно; ";" внутри комментария ничего не завершает */
  FOR SELECT G.ID, G.NAME FROM GOODS_BARCODES B JOIN GOODS G ON G.ID = B.GOODS_ID
      WHERE B.BARCODE = :BARCODE
      INTO :GOODS_ID, :NAME
  DO SUSPEND;
END^

COMMENT ON PROCEDURE GOODS_BY_BARCODE IS 'Товар по штрихкоду'^

CREATE OR ALTER PROCEDURE CLIENT_BALANCE (CLIENT_ID INTEGER)
RETURNS (BALANCE NUMERIC(15,2))
AS
BEGIN
  -- только расходные документы; строка с ";" и "^": 'a;b^c'
  SELECT COALESCE(SUM(TOTAL), 0) FROM DOCUMENTS
  WHERE CLIENT_ID = :CLIENT_ID AND DOC_TYPE_ID = 2
  INTO :BALANCE;
  SUSPEND;
END^

SET TERM ; ^

reconnect;

/*@@@*/
/* Изменения процедур и триггеров */
SET TERM ^ ;

ALTER PROCEDURE GET_GOODS_PRICE (GOODS_ID INTEGER, PRICE_TYPE_ID INTEGER)
RETURNS (PRICE NUMERIC(15,2))
AS
BEGIN
  PRICE = NULL;
  SELECT FIRST 1 PRICE FROM PRICES
  WHERE GOODS_ID = :GOODS_ID AND PRICE_TYPE_ID = :PRICE_TYPE_ID
  ORDER BY ID DESC
  INTO :PRICE;
  IF (PRICE IS NULL) THEN PRICE = 0;
  SUSPEND;
END^

ALTER PROCEDURE DOC_TOTAL (DOC_ID INTEGER)
RETURNS (TOTAL NUMERIC(15,2))
AS
BEGIN
  TOTAL = 0;
  SELECT SUM(AMOUNT) FROM DOC_LINES WHERE DOC_ID = :DOC_ID INTO :TOTAL;
  TOTAL = COALESCE(TOTAL, 0);
  SUSPEND;
END^

/* Сумма документа: и при удалении последней строки */
ALTER TRIGGER DOC_LINES_AIUD ACTIVE AFTER INSERT OR UPDATE OR DELETE POSITION 0 AS
DECLARE VARIABLE DOC INTEGER;
BEGIN
  DOC = CASE WHEN DELETING THEN OLD.DOC_ID ELSE NEW.DOC_ID END;
  UPDATE DOCUMENTS SET TOTAL = (SELECT COALESCE(SUM(AMOUNT), 0) FROM DOC_LINES WHERE DOC_ID = :DOC)
  WHERE ID = :DOC;
END^

SET TERM ; ^

ALTER TABLE WAREHOUSE_CELLS ADD NOTE D_NOTE;
ALTER TABLE GOODS_BARCODES ADD IS_MAIN D_BOOL;
commit work;

/*@@@*/
/* Права */
REVOKE ALL ON SETTINGS FROM R_OPERATOR;
GRANT SELECT ON SETTINGS TO R_OPERATOR;
GRANT SELECT ON GOODS_BARCODES TO R_OPERATOR;
GRANT SELECT ON WAREHOUSE_CELLS TO R_OPERATOR;
GRANT ALL ON GOODS_BARCODES TO R_MANAGER;
GRANT EXECUTE ON PROCEDURE GOODS_BY_BARCODE TO R_OPERATOR;
GRANT EXECUTE ON PROCEDURE DOC_TOTAL TO R_MANAGER;
GRANT R_OPERATOR TO MANAGER WITH ADMIN OPTION;
commit;

/*@@@*/
/* Данные справочников */
SET NAMES WIN1251;
SET SQL DIALECT 3;
SET AUTODDL ON;

ALTER TRIGGER UNITS_BI INACTIVE;
ALTER TRIGGER GOODS_BI INACTIVE;
ALTER TRIGGER PAYMENT_TYPES_BI INACTIVE;

DELETE FROM UNITS WHERE ID = 4;
INSERT INTO UNITS (ID, CODE, NAME, NOTE) VALUES (4, '006', 'Метр', 'Погонный метр');
INSERT INTO UNITS (ID, CODE, NAME) VALUES (5, '778', 'Упаковка');
INSERT INTO UNITS (ID, CODE, NAME) VALUES (6, '055', 'Квадратный метр');
UPDATE GOODS SET WEIGHT = 1.000 WHERE ID = 1;
UPDATE GOODS SET WEIGHT = 1.030 WHERE ID = 2;
INSERT INTO GOODS (ID, GROUP_ID, UNIT_ID, CODE, NAME, WEIGHT) VALUES (4, 2, 5, '0004', 'Стиральный порошок', 3.000);
INSERT INTO GOODS (ID, GROUP_ID, UNIT_ID, CODE, NAME, WEIGHT) VALUES (5, 1, 1, '0005', 'Хлеб "Бородинский"', 0.400);
INSERT INTO GOODS (ID, GROUP_ID, UNIT_ID, CODE, NAME, NOTE) VALUES (6, 2, 4, '0006', 'Шланг садовый', 'Цена за метр; режется по длине');
INSERT INTO PRICES (ID, GOODS_ID, PRICE_TYPE_ID, PRICE) VALUES (4, 4, 1, 399.00);
INSERT INTO PRICES (ID, GOODS_ID, PRICE_TYPE_ID, PRICE) VALUES (5, 5, 1, 62.00);
INSERT INTO PRICES (ID, GOODS_ID, PRICE_TYPE_ID, PRICE) VALUES (6, 6, 1, 85.00);
INSERT INTO WAREHOUSE_CELLS (ID, STORE_ID, CODE, NAME) VALUES (1, 1, 'A-01', 'Стеллаж А, полка 1');
INSERT INTO WAREHOUSE_CELLS (ID, STORE_ID, CODE, NAME) VALUES (2, 1, 'A-02', 'Стеллаж А, полка 2');
UPDATE CLIENTS SET EMAIL = 'info@romashka.example' WHERE ID = 1;
UPDATE SETTINGS SET SETTING_VALUE = 'ООО "Орвелин"; филиал' WHERE CODE = 'FIRM';

SET GENERATOR GEN_UNITS TO 6;
SET GENERATOR GEN_GOODS TO 6;

/* Штрихкоды для всех товаров: блок выполняется целиком, без SET TERM */
execute block
as
  declare variable goods_id integer;
  declare variable n integer = 0;
begin
  for select id from goods order by id into :goods_id do
  begin
    n = n + 1;
    insert into goods_barcodes (id, goods_id, barcode, is_main)
    values (:n, :goods_id, '460' || lpad(:goods_id, 10, '0'), case when :n > 0 then 1 else 0 end);
  end
end;

ALTER TRIGGER UNITS_BI ACTIVE;
ALTER TRIGGER GOODS_BI ACTIVE;
ALTER TRIGGER PAYMENT_TYPES_BI ACTIVE;

ALTER TABLE GOODS_BARCODES ADD CONSTRAINT FK_GOODS_BARCODES_GOODS FOREIGN KEY (GOODS_ID) REFERENCES GOODS (ID);

/* Два маленьких справочника заполняются заново */
DELETE FROM PAYMENT_TYPES;
INSERT INTO PAYMENT_TYPES (ID, CODE, NAME) VALUES (1, 'CASH', 'Наличные');
INSERT INTO PAYMENT_TYPES (ID, CODE, NAME) VALUES (2, 'CARD', 'Банковская карта');
INSERT INTO PAYMENT_TYPES (ID, CODE, NAME) VALUES (3, 'SBP', 'Система быстрых платежей');
DELETE FROM TAX_RATES;
INSERT INTO TAX_RATES (ID, CODE, NAME, RATE) VALUES (1, 'VAT20', 'НДС 20%', 20);
INSERT INTO TAX_RATES (ID, CODE, NAME, RATE) VALUES (2, 'VAT10', 'НДС 10%', 10);
INSERT INTO TAX_RATES (ID, CODE, NAME, RATE) VALUES (3, 'NOVAT', 'Без НДС', 0);

SET STATISTICS INDEX PK_GOODS;
SET STATISTICS INDEX IX_GOODS_NAME;
SET STATISTICS INDEX PK_GOODS_BARCODES;
SET STATISTICS INDEX FK_GOODS_BARCODES_GOODS;

UPDATE VERSIO SET VERSIO_NO = 7, APPLIED_AT = CURRENT_TIMESTAMP;
commit;
